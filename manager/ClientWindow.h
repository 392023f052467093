// ClientWindow.h - the client's window as the processors see it: messages, repaint, timers, message boxes.
#pragma once

#include <cstdint>

class IClientWindow {
 public:
  virtual ~IClientWindow() = default;

  // Synchronous message; returns the window's answer.
  virtual intptr_t Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) = 0;
  // Queued message.
  virtual void Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) = 0;
  // Repaint whatever is invalid now.
  virtual void Update() = 0;
  // Window timer: (re)start with a period, or stop.
  virtual void SetTimer(unsigned int id, unsigned int periodMs) = 0;
  virtual void KillTimer(unsigned int id) = 0;
  // Modal message box owned by this window; type takes the MB_ flag values. Returns the button.
  virtual int ShowMessageBox(const char* text, const char* caption, unsigned int type) = 0;
};
