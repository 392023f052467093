#include "PosixClientWindow.h"

#include "PosixMessageLoop.h"

intptr_t CPosixClientWindow::Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  return m_loop.Send(msg, wParam, lParam);
}

void CPosixClientWindow::Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) { m_loop.Post(msg, wParam, lParam); }

void CPosixClientWindow::SetTimer(unsigned int id, unsigned int periodMs) { m_loop.SetTimer(id, periodMs); }

void CPosixClientWindow::KillTimer(unsigned int id) { m_loop.KillTimer(id); }

int CPosixClientWindow::ShowMessageBox(const char* text, const char* caption, unsigned int type) {
  SShownBox shown{text ? text : "", caption};
  m_loop.Send(m_boxMsg, reinterpret_cast<uintptr_t>(&shown), static_cast<intptr_t>(type));
  return kAnswer;
}
