// velflash on POSIX: serial downloads through the library's own protocol processor over a tty,
// for scripts and production lines: one box, one box after another (--each), or one box per
// port on several ports at once; the same options, lines and statuses as velflash.exe, with
// ports named by their device.
//
//   velflash [options] IMAGE        (velflash --help lists the options)
//
// Exit status: 0 downloaded, 1 velflash itself failed, 2 bad usage, 3 port cannot be
// opened or was lost, 4 image refused, 5 box silent for 120 s, 6 too many error reports,
// 7 no box within --timeout, 8 box not done within --deadline, 130 stopped by Ctrl-C.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "FlashProgram.h"
#include "PosixFlashHost.h"
#include "PosixSignals.h"

namespace {

// This program's executable, to start again for each port of a station.
std::string ProgramPath(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) return std::string(path, static_cast<std::size_t>(n));
  return argv0;
}

}  // namespace

int main(int argc, char** argv) {
  CPosixFlashHost host(ProgramPath(argv[0]));
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--child") == 0) host.WatchParent();
  CPosixSignals::Install(host.StopFd());
  const int status = FlashProgramMain(argc - 1, argv + 1, host);
  CPosixSignals::Uninstall();
  return status;
}
