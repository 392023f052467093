// velflash on POSIX: one serial download (or one per box, in line mode) through the library's own
// protocol processor over a tty, for scripts and production lines.
//
//   velflash [--port DEVICE] [--baud RATE] [--each] [--max-errors N] IMAGE
//
// Exit status: 0 downloaded, 2 bad usage, 3 port cannot be opened or lost, 4 image refused by
// the library, 5 box silent for 120 s, 6 too many error reports, 130 stopped by Ctrl-C.
#include <cstdio>

#include "FlashOptions.h"
#include "FlashSession.h"
#include "PosixFlashPlatform.h"
#include "PosixSignals.h"

int main(int argc, char** argv) {
  CFlashOptions options;
  options.namedPorts = true;
  if (!options.Parse(argc - 1, argv + 1)) {
    std::fprintf(stderr, "velflash: %s\n%s", options.Error().c_str(), CFlashOptions::Usage(true));
    return 2;
  }
  if (options.HelpAsked()) {
    std::fputs(CFlashOptions::Usage(true), stdout);
    return 0;
  }
  CPosixFlashPlatform platform(options.device, options.baud);
  CFlashSession session(options, platform, nullptr);
  CPosixSignals::Install(platform.SignalFd());
  const int status = platform.Run(session);
  CPosixSignals::Uninstall();
  return status;
}
