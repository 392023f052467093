// VelComPort.h - the COM port with its monitor: a reader thread that hands every received byte to the current processor.
//
// Threads and ownership: the client's thread starts and stops the monitor; each start
// creates a reader thread with a stop flag of its own, owned by this object until the
// thread has ended. A reader waits for its predecessor to end before it reads, so two
// readers never run the processor at once. Stopping waits for the reader (answering
// messages the reader sends meanwhile) unless the caller is answering such a message;
// a stopped reader that still runs may no longer touch the port.
//
// A port whose device goes away is the one case where the reader stops the monitor itself:
// it reports the loss, closes the port, clears the monitoring flag and tells the processor,
// then ends. It touches the monitor's state only while its stop flag is clear, checked again
// after each message it sends; the client's thread touches it only after the reader has
// ended, or while the reader waits in SendMessage for it. The ended reader stays the
// monitor's record until the client's thread next starts or stops the monitor.
#pragma once

#include <windows.h>

#include <vector>

#include "ComPort.h"

class CVelManagerProcessor;

class CVelComPort : public CComPort {
 public:
  CVelComPort() = default;
  ~CVelComPort() override;

  // Opens the port and starts the reader thread (restarting a running monitor after 500 ms).
  int StartMonitoring(unsigned short port, unsigned long baudRate);
  // Stops the reader loop and closes the port; 1 if a port was closed.
  int StopMonitoring();
  int IsMonitoring() const { return m_lMonitoring; }
  // Waits for stopped readers that still run (and one that ended on a lost port); true when
  // none is left.
  bool WaitForStoppedReaders();

 protected:
  bool MayUsePort() const override;
  bool OnReaderThread() const override;

 private:
  struct Reader {
    CVelComPort* port = nullptr;
    volatile LONG stop = 0;
    HANDLE thread = nullptr;
    HANDLE predecessor = nullptr;  // the reader before this one, still running at start
  };

  static DWORD WINAPI ReaderThreadProc(LPVOID param);
  // On the reader thread, once the port is lost: reports it, stops the monitor unless the
  // client has stopped it meanwhile, and leaves the processor waiting for SYNC, idle.
  void EndLostMonitor(Reader* reader, CVelManagerProcessor* processor);
  // Waits for a reader thread to end, answering messages sent to this thread meanwhile.
  static bool WaitForReader(Reader* reader, DWORD timeoutMs);
  void RetireReader(bool wait);
  void ReapEndedReaders();
  void SetTimerResolution(bool raised);

  DWORD m_dwThreadID = 0;
  volatile int m_nRunning = 0;
  volatile LONG m_lMonitoring = 0;
  Reader* m_pReader = nullptr;          // reader of the running monitor (or of one ended on a lost port)
  std::vector<Reader*> m_retired;       // stopped readers whose threads may still run
  volatile LONG m_lTimerRaised = 0;     // lowered by the client's thread or by a reader on a lost port
};
