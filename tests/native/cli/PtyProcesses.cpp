#include "PtyProcesses.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

ChildProcess::~ChildProcess() {
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, &m_status, 0);
  }
}

bool ChildProcess::Start(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const bool ok = posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) m_pid = -1;
  return ok;
}

int ChildProcess::Wait(int timeoutMs) {
  if (m_pid <= 0) return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (waitpid(m_pid, &m_status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, &m_status, 0);
      m_pid = -1;
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  m_pid = -1;
  return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
}

void ChildProcess::Signal(int signo) {
  if (m_pid > 0) kill(m_pid, signo);
}

PtyPair::PtyPair(const std::string& folder) : m_folder(folder) {
  m_socat.Start({"socat", "pty,raw,echo=0,link=" + Pc(), "pty,raw,echo=0,link=" + Box()});
  struct stat st;
  for (int i = 0; i < 200 && !m_ready; ++i) {
    m_ready = stat(Pc().c_str(), &st) == 0 && stat(Box().c_str(), &st) == 0;
    if (!m_ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void PtyPair::Vanish() {
  m_socat.Signal(SIGKILL);
  m_socat.Wait(5000);
}

void PtyPair::Pause(bool paused) { m_socat.Signal(paused ? SIGSTOP : SIGCONT); }

ScratchFolder::ScratchFolder() {
  char name[] = "/tmp/velflash-test-XXXXXX";
  if (mkdtemp(name)) m_path = name;
}

ScratchFolder::~ScratchFolder() {
  if (!m_path.empty()) {
    const std::string command = "rm -rf '" + m_path + "'";
    if (std::system(command.c_str()) != 0) {
    }
  }
}

std::string ScratchFolder::Write(const std::string& name, const std::vector<unsigned char>& bytes) const {
  const std::string path = m_path + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return path;
}

std::string ScratchFolder::Read(const std::string& name) const {
  std::ifstream in(m_path + "/" + name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
