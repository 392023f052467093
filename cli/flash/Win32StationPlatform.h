// Win32StationPlatform.h - the station's platform on Windows: child velflash processes with pipes, read by threads of their own.
//
// StartChild, StopChild, KillChild and Next run on the station's thread. Each child has
// two reader threads (standard output and error) that push its lines into the queue, and a
// waiter thread that waits for the process to end, gives the readers half a second to reach
// the end of their pipes (a process the child started may still hold one: Wine's desktop
// process gets the standard handles of the first process that makes a window), cancels the
// reads still blocked, and pushes kEnded. RequestStop may be called from any thread (the console's
// control handler). The destructor ends children still running and joins every thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
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
  struct Pipe {
    CWin32StationPlatform* platform;
    int index;
    HANDLE handle;
    IFlashPlatform::Stream stream;
    HANDLE thread = nullptr;
  };
  struct Child {
    CWin32StationPlatform* platform = nullptr;
    int index = 0;
    HANDLE process = nullptr;
    HANDLE input = nullptr;  // write end of its standard input
    Pipe pipes[2];
    HANDLE waiter = nullptr;
  };

  // A reader thread: the lines of one pipe of the child.
  static DWORD WINAPI ReadProc(LPVOID param);
  // The waiter thread: the child's end.
  static DWORD WINAPI WaitProc(LPVOID param);
  void Push(int index, IFlashPlatform::Stream stream, const std::string& text);

  CStationQueue m_queue;
  std::vector<std::unique_ptr<Child>> m_children;  // resized on the station's thread only
};
