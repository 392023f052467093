// velflash: serial downloads through VelManager.dll, for scripts and production lines:
// one box, one box after another (--each), or one box per port on several ports at once.
//
//   velflash [options] IMAGE        (velflash --help lists the options)
//
// Exit status: 0 downloaded, 1 velflash itself failed, 2 bad usage, 3 port cannot be
// opened or was lost, 4 image refused, 5 box silent for 120 s, 6 too many error reports,
// 7 no box within --timeout, 8 box not done within --deadline, 130 stopped by Ctrl-C.
#include <windows.h>

#include <thread>

#include "FlashProgram.h"
#include "Win32FlashHost.h"

namespace {

CWin32FlashHost g_host;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  g_host.RequestStop();
  return TRUE;
}

// A velflash serving one port for another stops when its parent writes "stop" or goes away.
void WatchParent() {
  std::thread([] {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string got;
    char buffer[64];
    DWORD n = 0;
    while (got.find("stop") == std::string::npos && ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0)
      got.append(buffer, n);
    g_host.RequestStop();
  }).detach();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::string(argv[i]) == "--child") WatchParent();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  const int status = FlashProgramMain(argc - 1, argv + 1, g_host);
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  return status;
}
