#include "UucpLock.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

namespace {

// The lock to remove at an exit that runs no destructors (a second Ctrl-C).
char g_exitPath[PATH_MAX];
volatile sig_atomic_t g_exitHeld = 0;

std::string SystemLockFolder() {
  for (const char* folder : {"/var/lock", "/run/lock"}) {
    struct stat st;
    if (stat(folder, &st) == 0 && S_ISDIR(st.st_mode)) return folder;
  }
  return "/var/lock";
}

// The owner's process id in a lock file: ten ASCII digits (HDB) or, from old programs, a binary int.
// 0 when the file holds none; -1 when it cannot be read.
pid_t ReadOwner(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char text[32] = {};
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n == static_cast<ssize_t>(sizeof(int))) {
    bool ascii = true;
    for (ssize_t i = 0; i < n; ++i)
      if (text[i] != ' ' && text[i] != '\n' && (text[i] < '0' || text[i] > '9')) ascii = false;
    if (!ascii) {
      int pid = 0;
      std::memcpy(&pid, text, sizeof pid);
      return pid > 0 ? pid : 0;
    }
  }
  if (n <= 0) return 0;
  const long pid = std::strtol(text, nullptr, 10);
  return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

bool Alive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

// A lock file that another program is still writing: created less than a second ago and empty.
bool BeingWritten(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && st.st_size == 0 && std::time(nullptr) - st.st_mtime < 2;
}

}  // namespace

CUucpLock::CUucpLock(std::string folder) : m_folder(std::move(folder)) {}

CUucpLock::~CUucpLock() { Release(); }

std::string CUucpLock::LockPathFor(const std::string& folder, const std::string& device) {
  std::string real = device;
  if (char* resolved = realpath(device.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
  }
  const std::size_t slash = real.rfind('/');
  return folder + "/LCK.." + (slash == std::string::npos ? real : real.substr(slash + 1));
}

CUucpLock::Result CUucpLock::Acquire(const std::string& device) {
  if (m_held) return kLocked;
  m_holder = 0;
  const std::string folder = m_folder.empty() ? SystemLockFolder() : m_folder;
  const std::string path = LockPathFor(folder, device);
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));

  // Written whole under a name of our own, then linked into place: a reader never sees a
  // half-written lock, and of two programs only one link succeeds.
  const std::string temp = folder + "/LTMP." + std::to_string(getpid());
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return kNoLockDir;
  const bool written = write(fd, text, 11) == 11;
  close(fd);
  if (!written) {
    unlink(temp.c_str());
    return kNoLockDir;
  }
  Result result = kBusy;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (link(temp.c_str(), path.c_str()) == 0) {
      result = kLocked;
      break;
    }
    if (errno != EEXIST) {
      result = kNoLockDir;
      break;
    }
    const pid_t owner = ReadOwner(path);
    if (owner == getpid()) {
      result = kLocked;
      break;
    }
    if (Alive(owner) || (owner == 0 && BeingWritten(path))) {
      m_holder = owner;
      result = kBusy;
      break;
    }
    // Left by a process that has ended: remove it and try again.
    if (owner != -1 && unlink(path.c_str()) != 0 && errno != ENOENT) {
      m_holder = owner;
      result = kBusy;
      break;
    }
  }
  unlink(temp.c_str());
  if (result == kLocked) {
    m_held = true;
    m_path = path;
    if (path.size() < sizeof g_exitPath) {
      std::memcpy(g_exitPath, path.c_str(), path.size() + 1);
      g_exitHeld = 1;
    }
  }
  return result;
}

void CUucpLock::Release() {
  if (!m_held) return;
  g_exitHeld = 0;
  // Only a lock that still names this process is ours to remove.
  if (ReadOwner(m_path) == getpid()) unlink(m_path.c_str());
  m_held = false;
}

void CUucpLock::ReleaseForExit() {
  if (g_exitHeld) unlink(g_exitPath);
  g_exitHeld = 0;
}

std::string CUucpLock::HolderName() const {
  if (m_holder <= 0) return std::string();
  std::ifstream comm("/proc/" + std::to_string(m_holder) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}
