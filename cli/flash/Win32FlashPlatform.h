// Win32FlashPlatform.h - the flasher's platform on Windows: a hidden client window, VelManager.dll's manager and a box answerer.
//
// Run creates the window, the manager and the answerer, starts the session and runs the
// window's message loop on the calling thread, which is the session thread: the library's
// notifications arrive there by SendMessage from its reader thread, the boxes the
// answerer pressed are reported there, window timers fire there, and a stop request from
// the console's control handler is posted there. Run closes the port, deletes the manager
// (which waits for its reader) and destroys the window before it returns.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "FlashPlatform.h"

class CBoxAnswerer;
class CFlashSession;
class CVelManager;

class CWin32FlashPlatform : public IFlashPlatform {
 public:
  CWin32FlashPlatform(unsigned short port, unsigned long baudRate);
  ~CWin32FlashPlatform() override;
  CWin32FlashPlatform(const CWin32FlashPlatform&) = delete;
  CWin32FlashPlatform& operator=(const CWin32FlashPlatform&) = delete;

  // Runs the session to its end; returns the exit status.
  int Run(CFlashSession& session);
  // Asks the running session to stop as Ctrl-C does; callable from any thread.
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
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  // Hands the boxes the answerer pressed to the session.
  void DeliverBoxes();

  unsigned short m_port;
  unsigned long m_baudRate;
  CFlashSession* m_session = nullptr;
  HWND volatile m_hWnd = nullptr;
  volatile LONG m_stopRequested = 0;
  CVelManager* m_manager = nullptr;
  std::unique_ptr<CBoxAnswerer> m_answerer;
  volatile int m_cancel = 0;
  bool m_loopEnded = false;
};
