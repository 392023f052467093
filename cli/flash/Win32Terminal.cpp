#include "Win32Terminal.h"

#include <windows.h>

#include <cstdio>

double CWin32Terminal::Now() {
  static LARGE_INTEGER frequency, start;
  static const bool ready = QueryPerformanceFrequency(&frequency) && QueryPerformanceCounter(&start);
  (void)ready;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

int64_t CWin32Terminal::UnixTimeMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const int64_t ticks = (int64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;  // 100 ns since 1601
  return (ticks - 116444736000000000LL) / 10000;
}

std::string CWin32Terminal::LocalClock() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

void CWin32Terminal::Write(IFlashPlatform::Stream stream, const std::string& text) {
  FILE* f = stream == IFlashPlatform::kErr ? stderr : stdout;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fflush(f);
}

bool CWin32Terminal::OutputIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}
