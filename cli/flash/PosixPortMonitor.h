// PosixPortMonitor.h - the serial line with its monitor on POSIX: a reader thread that hands every received byte to the processor.
//
// Threads and ownership: the client's thread (the message loop's owner) starts and stops the
// monitor; each start creates a reader thread with a stop flag of its own, owned here until the
// thread has been joined. A reader waits for its predecessor to end, so two readers never run the
// processor at once. Stopping wakes the reader and waits for it, answering what it sends
// meanwhile, unless the caller is answering one of its messages: that reader ends on its own when
// the answer is given, and may no longer touch the line. A reader that finds the line lost reports
// it, closes the line and ends. The destructor joins every reader.
#pragma once

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "PosixSerialLine.h"

class CPosixMessageLoop;

class CPosixPortMonitor : public CPosixSerialLine {
 public:
  CPosixPortMonitor(CPosixMessageLoop& loop, std::string lockFolder = std::string());
  ~CPosixPortMonitor() override;

  void SetProcessor(IProcessorServices* services, CVelManagerProcessor* processor);
  // Opens the line and starts the reader (restarting a running monitor after 500 ms).
  int StartMonitoring(unsigned long baudRate);
  // Stops the reader and closes the line; 1 if a line was closed.
  int StopMonitoring();
  int IsMonitoring() const { return m_monitoring; }
  // Waits for stopped readers that still run; true when none is left.
  bool WaitForStoppedReaders();

  // The library's lost-port words with the device where Windows names its COM port:
  // "Lost /dev/ttyUSB0 (error 5): check the cable or the USB-serial adapter."
  static std::string LostText(const std::string& device, int error);

 protected:
  bool MayUsePort() const override;

 private:
  struct Reader {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> ended{false};
    std::shared_ptr<Reader> predecessor;  // still running when this one started
  };

  void ReaderLoop(const std::shared_ptr<Reader>& reader);
  // The reader found the line lost: what found it, the lost line, the line closed, the monitor stopped, the processor idle.
  void ReportLost();
  void RetireReader(bool wait);
  void ReapEndedReaders();
  bool WaitForReader(Reader& reader, int timeoutMs);

  CPosixMessageLoop& m_loop;
  CVelManagerProcessor* m_processor = nullptr;
  std::atomic<int> m_monitoring{0};
  std::shared_ptr<Reader> m_reader;              // reader of the running monitor
  std::vector<std::shared_ptr<Reader>> m_retired;  // stopped readers not yet joined
};
