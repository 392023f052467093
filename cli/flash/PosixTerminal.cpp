#include "PosixTerminal.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

double CPosixTerminal::Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int64_t CPosixTerminal::UnixTimeMs() {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

std::string CPosixTerminal::LocalClock() {
  struct timespec t;
  clock_gettime(CLOCK_REALTIME, &t);
  struct tm local;
  localtime_r(&t.tv_sec, &local);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<long>(t.tv_nsec / 1000000));
  return text;
}

void CPosixTerminal::Write(IFlashPlatform::Stream stream, const std::string& text) {
  const int fd = stream == IFlashPlatform::kErr ? STDERR_FILENO : STDOUT_FILENO;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno == EINTR)
      continue;
    else
      break;  // a closed pipe: the run goes on without its output
  }
}

bool CPosixTerminal::OutputIsConsole() { return isatty(STDOUT_FILENO) == 1; }
