// MessagePump.h - runs this thread's message loop in tests, with timeouts, optionally through an application object.
//
// With an application object each message goes through its PreTranslateMessage first, as in
// the program's own loop (accelerators, the Close lock); without one messages are only
// translated and dispatched. WM_QUIT is noted, not acted on.
#pragma once

#include <windows.h>

#include <functional>

class CWinApp;

class MessagePump {
 public:
  explicit MessagePump(CWinApp* pApp = nullptr) : m_pApp(pApp) {}

  // Pumps until done() holds (checked after every message and every 10 ms); false on timeout.
  bool RunUntil(const std::function<bool()>& done, DWORD timeoutMs);
  void RunFor(DWORD ms);

  bool QuitSeen() const { return m_bQuit; }
  void ClearQuit() { m_bQuit = false; }

 private:
  void DrainQueue();

  CWinApp* m_pApp;
  bool m_bQuit = false;
};
