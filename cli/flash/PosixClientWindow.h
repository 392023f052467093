// PosixClientWindow.h - the client window behind IClientWindow on POSIX: the client thread's message loop.
//
// Messages and timers go to the loop (sent ones wait until the client has handled them). A message
// box is not shown: it is handed to the client as a sent message (boxMsg, wParam: the SShownBox,
// lParam: the MB_ type) and answered with OK, as the flasher's box answerer does on Windows, so the
// client reports it in order with the library's other notifications.
#pragma once

#include "ClientWindow.h"

class CPosixMessageLoop;

// What a message box showed; valid only during the message.
struct SShownBox {
  const char* text;
  const char* caption;  // null: none
};

class CPosixClientWindow : public IClientWindow {
 public:
  // The button a box is answered with (IDOK).
  static constexpr int kAnswer = 1;

  CPosixClientWindow(CPosixMessageLoop& loop, unsigned int boxMsg) : m_loop(loop), m_boxMsg(boxMsg) {}

  intptr_t Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Update() override {}
  void SetTimer(unsigned int id, unsigned int periodMs) override;
  void KillTimer(unsigned int id) override;
  int ShowMessageBox(const char* text, const char* caption, unsigned int type) override;

 private:
  CPosixMessageLoop& m_loop;
  unsigned int m_boxMsg;
};
