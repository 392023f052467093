// PosixFlashHost.h - velflash's host on POSIX: the library's version, the serial devices, and the runs over a tty.
//
// Everything but RequestStop runs on the main thread. A watcher thread of the host turns what
// arrives on its stop pipe (the signal handler's bytes) and, for a velflash serving one port
// of a station, a "stop" line or the end of standard input, into RequestStop, which passes the
// stop to the run in progress (or to the next one). The destructor ends the watcher.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "FlashProgram.h"

class CPosixFlashPlatform;
class CPosixStationPlatform;

class CPosixFlashHost : public IFlashHost {
 public:
  // program: this velflash's executable, started again for each port of a station.
  explicit CPosixFlashHost(std::string program);
  ~CPosixFlashHost() override;
  CPosixFlashHost(const CPosixFlashHost&) = delete;
  CPosixFlashHost& operator=(const CPosixFlashHost&) = delete;

  // Where the signal handler writes: any byte but 0 asks for a stop.
  int StopFd() const { return m_pipe[1]; }
  // A velflash serving one port of a station also stops when its parent says so.
  void WatchParent() { m_watchInput = true; }
  // Ctrl-C; any thread.
  void RequestStop();

  std::string LibraryVersion() override;
  std::vector<std::string> ListPorts() override;
  bool NamedPorts() override { return true; }
  int64_t UnixTimeMs() override;
  void Write(IFlashPlatform::Stream stream, const std::string& text) override;
  int RunSession(const CFlashOptions& options, CRunLog* log) override;
  int RunStation(const CFlashOptions& options, CRunLog* log) override;

 private:
  void Watch();

  std::string m_program;
  int m_pipe[2] = {-1, -1};
  std::atomic<bool> m_watchInput{false};
  std::thread m_watcher;
  std::mutex m_mutex;  // guards the runs in progress and the count of stops
  CPosixFlashPlatform* m_session = nullptr;
  CPosixStationPlatform* m_station = nullptr;
  int m_stops = 0;
};
