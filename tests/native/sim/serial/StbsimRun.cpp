#include "StbsimRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

extern char** environ;

namespace {
long long NowUs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000ll + ts.tv_nsec / 1000;
}
}  // namespace

CStbsimRun::CStbsimRun() {
  char folder[] = "/tmp/stbsim-test-XXXXXX";
  if (mkdtemp(folder)) m_dir = folder;
  char name[128];
  struct termios raw;
  cfmakeraw(&raw);
  if (openpty(&m_master, &m_slave, name, &raw, nullptr) == 0) {
    m_slaveName = name;
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
  }
}

CStbsimRun::~CStbsimRun() {
  if (m_child > 0) {
    kill(m_child, SIGKILL);
    waitpid(m_child, nullptr, 0);
  }
  if (m_master >= 0) close(m_master);
  if (m_slave >= 0) close(m_slave);
  if (!m_dir.empty()) std::system(("rm -rf '" + m_dir + "'").c_str());
}

void CStbsimRun::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::ofstream out(Path(name), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> CStbsimRun::ReadFile(const std::string& name) const {
  std::ifstream in(Path(name), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string CStbsimRun::ReadText(const std::string& name) const {
  std::vector<uint8_t> bytes = ReadFile(name);
  return std::string(bytes.begin(), bytes.end());
}

bool CStbsimRun::Start(const std::vector<std::string>& args) {
  if (m_dir.empty() || m_master < 0) return false;
  std::vector<std::string> all = {STBSIM_PATH, "--tty", m_slaveName};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, Path("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, Path("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addclose(&files, m_master);
  int rc = posix_spawn(&m_child, STBSIM_PATH, &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  return rc == 0;
}

int CStbsimRun::Serve(CTestPc* pc, int limitMs, int signalAfterMs) {
  long long start = NowUs();
  bool signalled = false;
  uint8_t buffer[4096];
  for (;;) {
    long long now = NowUs() - start;
    int status;
    if (waitpid(m_child, &status, WNOHANG) == m_child) {
      m_child = -1;
      elapsedMs = double(now) / 1000.0;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (now > limitMs * 1000ll) return -1;
    if (!signalled && signalAfterMs >= 0 && now >= signalAfterMs * 1000ll) {
      kill(m_child, SIGTERM);
      signalled = true;
    }
    if (pc) {
      std::vector<uint8_t> out = pc->TakeWrites(now);
      for (size_t done = 0; done < out.size();) {
        ssize_t n = write(m_master, out.data() + done, out.size() - done);
        if (n > 0) done += size_t(n);
        else poll(nullptr, 0, 1);
      }
    }
    long long next = pc ? pc->NextTime() : kBoxNever;
    int waitMs = next == kBoxNever ? 10 : int(std::clamp<long long>((next - now + 999) / 1000, 0, 10));
    struct pollfd fd = {m_master, POLLIN, 0};
    if (poll(&fd, 1, waitMs) > 0 && (fd.revents & POLLIN)) {
      ssize_t n = read(m_master, buffer, sizeof buffer);
      if (n > 0 && pc) pc->Receive(std::vector<uint8_t>(buffer, buffer + n), NowUs() - start);
    }
  }
}
