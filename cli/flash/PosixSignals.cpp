#include "PosixSignals.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "PosixSerialLine.h"

namespace {

volatile sig_atomic_t g_stopFd = -1;
volatile sig_atomic_t g_count = 0;
volatile sig_atomic_t g_exitOnSecond = 1;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnSignal(int signo) {
  const int savedErrno = errno;
  if (++g_count >= 2 && g_exitOnSecond) {
    CPosixSerialLine::RestoreForExit();
    static const char kText[] = "\nvelflash: ended at once by a second Ctrl-C\n";
    ssize_t ignored = write(STDERR_FILENO, kText, sizeof kText - 1);
    (void)ignored;
    _exit(CPosixSignals::kExitAtOnce);
  }
  const unsigned char number = static_cast<unsigned char>(signo);
  if (g_stopFd >= 0) {
    ssize_t ignored = write(g_stopFd, &number, 1);
    (void)ignored;
  }
  errno = savedErrno;
}

}  // namespace

void CPosixSignals::Install(int stopFd) {
  g_stopFd = stopFd;
  g_count = 0;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  for (int signo : kSignals) sigaddset(&action.sa_mask, signo);
  action.sa_flags = SA_RESTART;
  for (int signo : kSignals) sigaction(signo, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

void CPosixSignals::SetExitOnSecond(bool exitOnSecond) { g_exitOnSecond = exitOnSecond ? 1 : 0; }

void CPosixSignals::Uninstall() {
  for (int signo : kSignals) signal(signo, SIG_DFL);
  g_stopFd = -1;
}
