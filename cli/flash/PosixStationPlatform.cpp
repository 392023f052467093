#include "PosixStationPlatform.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "PosixTerminal.h"

extern char** environ;

namespace {

constexpr int kExitWaitMs = 10000;

// Waits up to timeoutMs for a child to end; its exit status (128 + the signal that ended it),
// or -1 when it still runs.
int Reap(pid_t pid, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int status = 0;
    const pid_t got = waitpid(pid, &status, WNOHANG);
    if (got == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (got < 0 && errno != EINTR) return 1;
    if (std::chrono::steady_clock::now() >= end) return -1;
    usleep(10000);
  }
}

}  // namespace

CPosixStationPlatform::CPosixStationPlatform(std::string program) : m_program(std::move(program)) {}

CPosixStationPlatform::~CPosixStationPlatform() {
  for (std::unique_ptr<Child>& child : m_children) {
    if (!child) continue;
    if (child->input >= 0) close(child->input);
    // A child still running is ended (its reader threads then reap it).
    if (!child->ended && child->pid > 0) {
      kill(child->pid, SIGTERM);
      kill(child->pid, SIGINT);
    }
    for (std::thread& reader : child->readers)
      if (reader.joinable()) reader.join();
  }
}

void CPosixStationPlatform::RequestStop() {
  Event e;
  e.kind = Event::kStop;
  m_queue.Push(e);
}

bool CPosixStationPlatform::StartChild(int index, const std::vector<std::string>& args, std::string& reason) {
  if (static_cast<std::size_t>(index) >= m_children.size()) m_children.resize(index + 1);
  // Our ends are closed on exec, so no child inherits another's pipes.
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    reason = std::string("cannot make its pipes: ") + std::strerror(errno);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      if (fd >= 0) close(fd);
    return false;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(m_program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // A process group of its own; the signals this process catches are the default there.
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none, caught;
  sigemptyset(&none);
  sigemptyset(&caught);
  for (int signo : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&caught, signo);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &caught);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, m_program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (error != 0) {
    reason = std::strerror(error);
    close(in[1]);
    close(out[0]);
    close(err[0]);
    return false;
  }
  m_children[index].reset(new Child);
  Child* child = m_children[index].get();
  child->pid = pid;
  child->input = in[1];
  child->readers[0] = std::thread(&CPosixStationPlatform::Read, this, child, index, out[0], IFlashPlatform::kOut);
  child->readers[1] = std::thread(&CPosixStationPlatform::Read, this, child, index, err[0], IFlashPlatform::kErr);
  return true;
}

void CPosixStationPlatform::Read(Child* child, int index, int pipe, IFlashPlatform::Stream stream) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipe, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
      Event e;
      e.kind = Event::kLine;
      e.child = index;
      e.stream = stream;
      e.text = pending.substr(0, end);
      m_queue.Push(e);
    }
  }
  close(pipe);
  if (!pending.empty()) {
    Event e;
    e.kind = Event::kLine;
    e.child = index;
    e.stream = stream;
    e.text = pending;
    m_queue.Push(e);
  }
  if (--child->openStreams > 0) return;
  // Both streams are closed: the child has ended or is about to.
  int status = Reap(child->pid, kExitWaitMs);
  if (status < 0) {
    kill(child->pid, SIGKILL);
    status = Reap(child->pid, kExitWaitMs);
  }
  child->ended = true;
  Event e;
  e.kind = Event::kEnded;
  e.child = index;
  e.status = status < 0 ? 1 : status;
  m_queue.Push(e);
}

void CPosixStationPlatform::StopChild(int index) {
  Child& child = *m_children[index];
  if (child.input < 0) return;
  ssize_t ignored = write(child.input, "stop\n", 5);
  (void)ignored;
  close(child.input);  // the end of its input also means stop
  child.input = -1;
}

void CPosixStationPlatform::KillChild(int index) {
  Child& child = *m_children[index];
  if (child.pid <= 0 || child.ended) return;
  // Two signals: the child's second one ends it at once, its tty put back and its lock removed.
  kill(child.pid, SIGTERM);
  kill(child.pid, SIGINT);
}

IStationPlatform::Event CPosixStationPlatform::Next(unsigned waitMs) { return m_queue.Pop(waitMs); }

double CPosixStationPlatform::Now() { return CPosixTerminal::Now(); }

std::string CPosixStationPlatform::LocalClock() { return CPosixTerminal::LocalClock(); }

void CPosixStationPlatform::Write(IFlashPlatform::Stream stream, const std::string& text) {
  CPosixTerminal::Write(stream, text);
}

bool CPosixStationPlatform::OutputIsConsole() { return CPosixTerminal::OutputIsConsole(); }
