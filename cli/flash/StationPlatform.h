// StationPlatform.h - what a velflash serving several ports needs around it: child processes, their lines, stop requests, clock and output.
//
// Threads. CStation runs on one thread and makes every call below on it. The platform
// reads each child's standard output and error on threads of its own and hands the lines
// over through Next, in the order each stream gave them; a child's kEnded comes after
// every line of that child. A stop request (Ctrl-C) from any thread also arrives through
// Next. Win32 (CWin32StationPlatform): CreateProcess with pipes, one reader thread per
// pipe. POSIX: fork/exec or posix_spawn with pipes, the same reader threads, a signal
// handler that only sets a flag or writes to a self-pipe.
#pragma once

#include <string>
#include <vector>

#include "FlashPlatform.h"

class IStationPlatform {
 public:
  virtual ~IStationPlatform() = default;

  struct Event {
    enum Kind { kNothing, kLine, kEnded, kStop };
    Kind kind = kNothing;
    int child = -1;
    IFlashPlatform::Stream stream = IFlashPlatform::kOut;
    std::string text;  // kLine: one line without its line end
    int status = 0;    // kEnded: the child's exit status
  };

  // Starts child number `child`: this program again with args after its name. False with
  // the reason when it cannot start.
  virtual bool StartChild(int child, const std::vector<std::string>& args, std::string& reason) = 0;
  // Asks the child to stop as Ctrl-C does: a "stop" line on its standard input.
  virtual void StopChild(int child) = 0;
  // Ends the child at once.
  virtual void KillChild(int child) = 0;
  // The next event, waiting at most waitMs; kNothing when none came.
  virtual Event Next(unsigned waitMs) = 0;

  virtual double Now() = 0;
  virtual std::string LocalClock() = 0;
  // Writes text as it is and flushes.
  virtual void Write(IFlashPlatform::Stream stream, const std::string& text) = 0;
  virtual bool OutputIsConsole() = 0;
};
