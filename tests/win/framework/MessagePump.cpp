#include "MessagePump.h"

#include "CWinApp.h"

void MessagePump::DrainQueue() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      m_bQuit = true;
      continue;
    }
    if (m_pApp && m_pApp->PreTranslateMessage(&msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool MessagePump::RunUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    DrainQueue();
    if (done && done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return false;
    const DWORD wait = timeoutMs - elapsed < 10 ? timeoutMs - elapsed : 10;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

void MessagePump::RunFor(DWORD ms) { RunUntil(nullptr, ms); }
