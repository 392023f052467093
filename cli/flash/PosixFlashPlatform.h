// PosixFlashPlatform.h - the flasher's platform on POSIX: the download engine over a tty, the main thread's message loop, signals.
//
// Run builds the engine, starts the session and runs the message loop on the calling thread,
// which is the session thread: the library's notifications and boxes arrive there from its
// reader thread (which waits until each is handled), timers fire there, and a stop request
// (RequestStop, from any thread) becomes OnStopRequest there. Run stops the transfer and destroys the engine (which joins its reader,
// answering what it still sends) before it returns.
#pragma once

#include <memory>
#include <string>

#include "FlashPlatform.h"
#include "PosixMessageLoop.h"

class CFlashSession;
class CPosixDownloadEngine;

class CPosixFlashPlatform : public IFlashPlatform {
 public:
  // lockFolder: where the serial lock files live (empty: the system's).
  CPosixFlashPlatform(std::string device, unsigned long baudRate, std::string lockFolder = std::string());
  ~CPosixFlashPlatform() override;
  CPosixFlashPlatform(const CPosixFlashPlatform&) = delete;
  CPosixFlashPlatform& operator=(const CPosixFlashPlatform&) = delete;

  // Runs the session to its end; returns the exit status.
  int Run(CFlashSession& session);
  // Asks the session to stop as Ctrl-C does; any thread.
  void RequestStop();

  bool Arm(const std::string& image) override;
  bool IsPortOpen() override;
  void StopTransfer() override;
  bool Cancel(unsigned waitMs) override;
  void StartTimer(unsigned id, unsigned periodMs) override;
  void StopTimer(unsigned id) override;
  double Now() override;
  int64_t UnixTimeMs() override;
  std::string LocalClock() override;
  void Write(Stream stream, const std::string& text) override;
  bool OutputIsConsole() override;
  void EndLoop() override;

 private:
  intptr_t Handle(unsigned int msg, uintptr_t wParam, intptr_t lParam);

  std::string m_device;
  unsigned long m_baudRate;
  std::string m_lockFolder;
  CPosixMessageLoop m_loop;
  std::unique_ptr<CPosixDownloadEngine> m_engine;
  CFlashSession* m_session = nullptr;
  volatile int m_cancel = 0;
  bool m_loopEnded = false;
};
