// Win32StationPlatform.h - the station's platform on Windows: child velflash processes with pipes, read by threads of their own.
//
// StartChild, StopChild, KillChild and Next run on the station's thread. Each child has
// two reader threads (standard output and error) that push its lines into the queue; the
// last of them to reach the end of its pipe waits for the process (at most 10 s, then ends
// it) and pushes kEnded. RequestStop may be called from any thread (the console's control
// handler). The destructor ends children still running and joins every reader thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "StationPlatform.h"
#include "StationQueue.h"

class CWin32StationPlatform : public IStationPlatform {
 public:
  CWin32StationPlatform();
  ~CWin32StationPlatform() override;
  CWin32StationPlatform(const CWin32StationPlatform&) = delete;
  CWin32StationPlatform& operator=(const CWin32StationPlatform&) = delete;

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
    HANDLE process = nullptr;
    HANDLE input = nullptr;  // write end of its standard input
    std::atomic<int> openStreams{2};
    std::thread readers[2];
  };

  // A reader thread: the lines of one pipe of the child, then its end.
  void Read(Child* child, int index, HANDLE pipe, IFlashPlatform::Stream stream);

  CStationQueue m_queue;
  std::vector<std::unique_ptr<Child>> m_children;  // resized on the station's thread only
};
