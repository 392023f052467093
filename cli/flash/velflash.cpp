// velflash: one serial download (or one per box, in line mode) through VelManager.dll, for
// scripts and production lines.
//
//   velflash [--port N] [--baud RATE] [--each] [--max-errors N] IMAGE
//
// Exit status: 0 downloaded, 2 bad usage, 3 port cannot be opened, 4 image refused by the
// library, 5 box silent for 120 s, 6 too many error reports, 130 stopped by Ctrl-C.
#include <windows.h>

#include <cstdio>

#include "FlashOptions.h"
#include "FlashSession.h"
#include "Win32FlashPlatform.h"

namespace {

CWin32FlashPlatform* volatile g_platform = nullptr;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (CWin32FlashPlatform* platform = g_platform) platform->RequestStop();
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  CFlashOptions options;
  if (!options.Parse(argc - 1, argv + 1)) {
    std::fprintf(stderr, "velflash: %s\n%s", options.Error().c_str(), CFlashOptions::Usage());
    return 2;
  }
  if (options.HelpAsked()) {
    std::fputs(CFlashOptions::Usage(), stdout);
    return 0;
  }
  CWin32FlashPlatform platform(options.port, options.baud);
  CFlashSession session(options, platform);
  g_platform = &platform;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  const int status = platform.Run(session);
  g_platform = nullptr;
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  return status;
}
