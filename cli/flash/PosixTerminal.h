// PosixTerminal.h - the clocks and the standard streams of the POSIX flasher, shared by its platforms and host.
//
// Any thread may call these; Write writes one piece at a time and goes on past a closed pipe.
#pragma once

#include <cstdint>
#include <string>

#include "FlashPlatform.h"

class CPosixTerminal {
 public:
  // Seconds from a fixed origin, from the monotonic clock.
  static double Now();
  static int64_t UnixTimeMs();
  // The local time of day, "HH:MM:SS.mmm".
  static std::string LocalClock();
  static void Write(IFlashPlatform::Stream stream, const std::string& text);
  // Whether standard output is a terminal (not a file or a pipe).
  static bool OutputIsConsole();
};
