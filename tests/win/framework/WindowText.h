// WindowText.h - the text of a window as a string, for tests.
#pragma once

#include <windows.h>

#include <string>

inline std::string WindowText(HWND hWnd) {
  char buf[256] = "";
  GetWindowTextA(hWnd, buf, sizeof buf);
  return buf;
}
