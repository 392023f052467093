// Win32FlashHost.h - velflash's host on Windows: the library's version from VelManager.dll, the COM ports, and the runs with their Ctrl-C.
//
// Runs on the program's main thread. RequestStop may be called from any thread (the
// console's control handler, the child's input reader): the first asks the run under way
// to stop; a second ends a single run at once (a station ends its children itself).
#pragma once

#include <atomic>

#include "FlashProgram.h"

class CWin32FlashPlatform;
class CWin32StationPlatform;

class CWin32FlashHost : public IFlashHost {
 public:
  std::string LibraryVersion() override;
  std::vector<std::string> ListPorts() override;
  int64_t UnixTimeMs() override;
  void Write(IFlashPlatform::Stream stream, const std::string& text) override;
  int RunSession(const CFlashOptions& options, CRunLog* log) override;
  int RunStation(const CFlashOptions& options, CRunLog* log) override;

  void RequestStop();

 private:
  std::atomic<CWin32FlashPlatform*> m_session{nullptr};
  std::atomic<CWin32StationPlatform*> m_station{nullptr};
  std::atomic<int> m_stops{0};
};
