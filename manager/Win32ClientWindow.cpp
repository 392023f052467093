#include "Win32ClientWindow.h"

intptr_t CWin32ClientWindow::Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  return SendMessageA(m_hWnd, msg, wParam, lParam);
}

void CWin32ClientWindow::Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  PostMessageA(m_hWnd, msg, wParam, lParam);
}

void CWin32ClientWindow::Update() { UpdateWindow(m_hWnd); }

void CWin32ClientWindow::SetTimer(unsigned int id, unsigned int periodMs) {
  ::SetTimer(m_hWnd, id, periodMs, nullptr);
}

void CWin32ClientWindow::KillTimer(unsigned int id) { ::KillTimer(m_hWnd, id); }

int CWin32ClientWindow::ShowMessageBox(const char* text, const char* caption, unsigned int type) {
  return MessageBoxA(m_hWnd, text, caption, type);
}
