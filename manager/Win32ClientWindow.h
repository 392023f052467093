// Win32ClientWindow.h - the client window behind IClientWindow: a window handle and the Win32 message, timer and box calls.
#pragma once

#include <windows.h>

#include "ClientWindow.h"

class CWin32ClientWindow : public IClientWindow {
 public:
  void Attach(HWND hWnd) { m_hWnd = hWnd; }
  HWND GetHandle() const { return m_hWnd; }

  intptr_t Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Update() override;
  void SetTimer(unsigned int id, unsigned int periodMs) override;
  void KillTimer(unsigned int id) override;
  int ShowMessageBox(const char* text, const char* caption, unsigned int type) override;

 private:
  HWND volatile m_hWnd = nullptr;
};
