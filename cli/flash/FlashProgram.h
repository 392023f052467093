// FlashProgram.h - velflash's main, portable: what the command line asks for and which run serves it.
//
// The host (one per platform) supplies the library's version, the list of ports, and the
// runs themselves: a single session on one port, or a station over several. Everything
// runs on the thread that calls FlashProgramMain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FlashOptions.h"
#include "FlashPlatform.h"

class CRunLog;

class IFlashHost {
 public:
  virtual ~IFlashHost() = default;

  // "VelManager.dll 1.0.0.0": the serial library this velflash drives, as it is installed.
  virtual std::string LibraryVersion() = 0;
  // One line per serial port of this machine: its name first, then what is known of it.
  virtual std::vector<std::string> ListPorts() = 0;
  // Whether ports are named by their device (POSIX) rather than numbered (see CFlashOptions).
  virtual bool NamedPorts() { return false; }
  virtual int64_t UnixTimeMs() = 0;
  virtual void Write(IFlashPlatform::Stream stream, const std::string& text) = 0;
  // Runs one session on options.port to its end; its exit status.
  virtual int RunSession(const CFlashOptions& options, CRunLog* log) = 0;
  // Runs every port of options.ports at once to their end; the worst exit status.
  virtual int RunStation(const CFlashOptions& options, CRunLog* log) = 0;
};

// argv without the program's name. Returns the exit status.
int FlashProgramMain(int argc, const char* const* argv, IFlashHost& host);
