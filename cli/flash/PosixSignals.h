// PosixSignals.h - Ctrl-C, SIGTERM and SIGHUP for the POSIX flasher: each asks for a stop, and a second ends a port's run at once.
//
// The handler writes the signal's number to a descriptor (the host's stop pipe) and nothing
// else. Where one process serves one port, a second signal puts the line's terminal settings
// back, removes its lock file and exits with 130 at once; a velflash serving several ports
// passes every signal on (its station ends its children). Broken pipes are ignored (a closed
// output does not end a download).
#pragma once

class CPosixSignals {
 public:
  static constexpr int kExitAtOnce = 130;

  // Installs the handlers; stopFd: where each signal's number goes.
  static void Install(int stopFd);
  // Whether a second signal ends the process at once (the default) or is passed on too.
  static void SetExitOnSecond(bool exitOnSecond);
  // Back to the defaults; later signals end the program as usual.
  static void Uninstall();
};
