// PosixSignals.h - Ctrl-C, SIGTERM and SIGHUP for the POSIX flasher: the first asks the session to stop, a second ends at once.
//
// The handler only writes the signal's number to the message loop's signal descriptor; a second
// signal puts the line's terminal settings back, removes its lock file and exits with 130 at once.
// Broken pipes are ignored (a closed output does not end a download).
#pragma once

class CPosixSignals {
 public:
  static constexpr int kExitAtOnce = 130;

  // Installs the handlers; stopFd: where the first signal's number goes.
  static void Install(int stopFd);
  // Back to the defaults; later signals end the program as usual.
  static void Uninstall();
};
