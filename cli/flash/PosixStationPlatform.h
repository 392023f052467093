// PosixStationPlatform.h - the station's platform on POSIX: child velflash processes with pipes, read by threads of their own.
//
// StartChild, StopChild, KillChild and Next run on the station's thread. Each child runs in a
// process group of its own (a terminal's Ctrl-C reaches this process only, which passes it on
// as a "stop" line) and has two reader threads (standard output and error) that push its lines
// into the queue; the last of them to reach the end of its pipe waits for the process (at most
// 10 s, then kills it) and pushes kEnded. KillChild sends two signals, so that the child ends at
// once yet puts its tty's settings back and removes its lock. RequestStop may be called from any
// thread. The destructor ends children still running and joins every reader thread.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "StationPlatform.h"
#include "StationQueue.h"

class CPosixStationPlatform : public IStationPlatform {
 public:
  // program: this velflash's executable.
  explicit CPosixStationPlatform(std::string program);
  ~CPosixStationPlatform() override;
  CPosixStationPlatform(const CPosixStationPlatform&) = delete;
  CPosixStationPlatform& operator=(const CPosixStationPlatform&) = delete;

  // Ctrl-C: a kStop event.
  void RequestStop();

  bool StartChild(int child, const std::vector<std::string>& args, std::string& reason) override;
  void StopChild(int child) override;
  void KillChild(int child) override;
  Event Next(unsigned waitMs) override;
  double Now() override;
  std::string LocalClock() override;
  void Write(IFlashPlatform::Stream stream, const std::string& text) override;
  bool OutputIsConsole() override;

 private:
  struct Child {
    pid_t pid = -1;
    int input = -1;  // write end of its standard input
    std::atomic<bool> ended{false};
    std::atomic<int> openStreams{2};
    std::thread readers[2];
  };

  // A reader thread: the lines of one pipe of the child, then its end.
  void Read(Child* child, int index, int pipe, IFlashPlatform::Stream stream);

  std::string m_program;
  CStationQueue m_queue;
  std::vector<std::unique_ptr<Child>> m_children;  // resized on the station's thread only
};
