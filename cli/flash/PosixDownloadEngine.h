// PosixDownloadEngine.h - the library's serial download on POSIX: its own processor driven over a tty by a reader thread.
//
// What CVelManager is on Windows, for one client in one process: the client names its message
// numbers and cancel flag (SetParentInfo), the device and rate (SetComportInfo), arms a download
// (ReadyToTransfer) and ends it (StopTransfer); the processor (CVelOldManagerProcessor, the
// library's own) reports through the client's message loop with the same messages, texts and
// order. Every call comes from the loop's owner thread; the reader thread runs the processor.
// The processor keeps library-wide state, so a process has one engine. The destructor stops the
// reader and joins it before the processor goes.
#pragma once

#include <memory>
#include <string>

#include "PosixClientWindow.h"
#include "PosixPortMonitor.h"
#include "PosixProcessorServices.h"

class CPosixMessageLoop;
class CVelOldManagerProcessor;

class CPosixDownloadEngine {
 public:
  // boxMsg: the message that hands the client each message box (see CPosixClientWindow).
  CPosixDownloadEngine(CPosixMessageLoop& loop, unsigned int boxMsg, std::string lockFolder = std::string());
  ~CPosixDownloadEngine();
  CPosixDownloadEngine(const CPosixDownloadEngine&) = delete;
  CPosixDownloadEngine& operator=(const CPosixDownloadEngine&) = delete;

  void SetParentInfo(unsigned int msgEvent, unsigned int msgInProcess, volatile int* cancel);
  void SetComportInfo(const std::string& device, unsigned long baudRate);
  int IsConnectedComport() const { return m_port.IsMonitoring(); }
  // Tests the file, arms the processor, opens the line at 9600 and starts the reader, then
  // reports "Ready (name.ext)" and idle. 0 when the file cannot be opened (still armed).
  int ReadyToTransfer(const char* path);
  // Stops the reader, closes the line, empties the receive buffer and waits for SYNC again.
  int StopTransfer();

  // The manager's cancel event: signalled when the processor has honoured a cancel.
  void ResetCancelEvent() { m_services.ResetCancel(); }
  // Waits up to timeoutMs for it, answering the library's messages meanwhile.
  bool WaitForCancelEvent(int timeoutMs);

  const CVelOldManagerProcessor& Processor() const { return *m_processor; }
  const CPosixPortMonitor& Port() const { return m_port; }

 private:
  CPosixMessageLoop& m_loop;
  CPosixClientWindow m_window;
  CPosixProcessorServices m_services;
  std::unique_ptr<CVelOldManagerProcessor> m_processor;
  CPosixPortMonitor m_port;  // declared last: stopped and joined first
};
