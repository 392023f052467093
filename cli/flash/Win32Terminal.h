// Win32Terminal.h - the clocks and the standard streams of a Windows console program, shared by the flasher's Win32 platforms.
//
// Any thread may call these; Write writes and flushes one piece at a time.
#pragma once

#include <cstdint>
#include <string>

#include "FlashPlatform.h"

class CWin32Terminal {
 public:
  // Seconds since the first call, from the performance counter.
  static double Now();
  static int64_t UnixTimeMs();
  // The local time of day, "HH:MM:SS.mmm".
  static std::string LocalClock();
  static void Write(IFlashPlatform::Stream stream, const std::string& text);
  // Whether standard output is a console (not a file or a pipe).
  static bool OutputIsConsole();
};
