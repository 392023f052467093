#include "PosixSerialLine.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "ManagerEvents.h"
#include "ProcessorServices.h"
#include "VelManagerProcessor.h"

namespace {

// The open line's descriptor and the settings to put back, for an exit that runs no destructors.
std::atomic<int> g_exitFd{-1};
struct termios g_exitSaved;

bool Speed(unsigned long baud, speed_t& speed) {
  switch (baud) {
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    default: return false;
  }
}

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

CPosixSerialLine::CPosixSerialLine(std::string lockFolder) : m_lock(std::move(lockFolder)) {
  if (pipe(m_wake) == 0) {
    for (int fd : m_wake) {
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
      fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
}

CPosixSerialLine::~CPosixSerialLine() {
  CPosixSerialLine::Uninitialize();
  m_lock.Release();
  for (int fd : m_wake)
    if (fd >= 0) close(fd);
}

void CPosixSerialLine::SetReporting(IProcessorServices* services, CVelManagerProcessor* processor) {
  m_services = services;
  m_processor = processor;
}

void CPosixSerialLine::Notify(const char* text) const {
  if (m_processor) m_processor->SendEventMsg(text, EVENT_MESSAGE);
}

void CPosixSerialLine::ReportError(const char* text) const {
  if (m_services) m_services->NotifyParent(text, EVENT_ERROR);
}

void CPosixSerialLine::Beep() const {
  if (m_services) m_services->MessageBeep(box::kIconExclamation);
}

void CPosixSerialLine::ShowBox(const std::string& text) const {
  if (m_services) m_services->ShowMessageBox(text.c_str(), nullptr, box::kIconError);
}

void CPosixSerialLine::ReportOpenFailure(int error, const std::string& advice) const {
  char text[512];
  std::snprintf(text, sizeof text, "Failed to open com port : %s, Error No. - %dl", m_device.c_str(), error);
  ShowBox(text);
  if (!advice.empty()) ReportError(advice.c_str());
}

std::string CPosixSerialLine::AccessAdvice() const {
  struct stat st;
  if (stat(m_device.c_str(), &st) != 0) return m_device + ": permission denied";
  const struct group* g = getgrgid(st.st_gid);
  const bool groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  if (!g || !groupMayUse || st.st_gid == 0)
    return m_device + ": permission denied: ask the administrator for read and write access to it";
  const std::string group = g->gr_name;
  // Already in the group's list but not in this login's groups: the login predates the change.
  bool listed = false;
  if (const struct passwd* user = getpwuid(getuid()))
    for (char** member = g->gr_mem; member && *member; ++member)
      if (std::strcmp(*member, user->pw_name) == 0) listed = true;
  if (listed)
    return m_device + ": permission denied: you were added to the group " + group +
           " after this login began: log out and in again";
  return m_device + ": permission denied: join the group " + group + " (sudo usermod -aG " + group +
         " $USER), then log out and in again";
}

std::string CPosixSerialLine::BusyAdvice(pid_t holder, const std::string& name) const {
  if (holder > 0)
    return m_device + " is in use by process " + std::to_string(holder) + (name.empty() ? "" : " (" + name + ")") +
           ": end it or pick another port";
  return m_device + " is in use by another program: end it or pick another port";
}

bool CPosixSerialLine::Initialize(unsigned short, unsigned long baudRate) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd >= 0 || !MayUsePort()) return false;
  }
  m_baud = baudRate;

  const bool wasLocked = m_lock.Held();
  if (m_lock.Acquire(m_device) == CUucpLock::kBusy) {
    ReportOpenFailure(EBUSY, BusyAdvice(m_lock.HolderPid(), m_lock.HolderName()));
    return false;
  }
  auto fail = [&](int fd) {
    if (fd >= 0) close(fd);
    if (!wasLocked) m_lock.Release();
    return false;
  };

  const int fd = open(m_device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    std::string advice;
    if (error == EACCES || error == EPERM)
      advice = AccessAdvice();
    else if (error == ENOENT)
      advice = m_device + " does not exist: velflash --list-ports shows this machine's serial ports";
    else if (error == EBUSY)
      advice = BusyAdvice(0, std::string());
    else if (error == ENXIO || error == ENODEV || error == EIO)
      advice = m_device + " has no device behind it: check the cable or the USB-serial adapter";
    ReportOpenFailure(error, advice);
    return fail(-1);
  }
  // Exclusive: other programs' opens fail with EBUSY, and programs that lock with flock see it held.
  ioctl(fd, TIOCEXCL);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
    ReportOpenFailure(EBUSY, BusyAdvice(0, std::string()));
    return fail(fd);
  }

  struct termios saved;
  if (tcgetattr(fd, &saved) != 0) {
    ShowBox("CComPort::Initialize() - GetCommState() Failed");
    return fail(fd);
  }
  struct termios tio = saved;
  cfmakeraw(&tio);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  speed_t speed = B0;
  struct termios applied;
  const bool ok = Speed(baudRate, speed) && cfsetispeed(&tio, speed) == 0 && cfsetospeed(&tio, speed) == 0 &&
                  tcsetattr(fd, TCSANOW, &tio) == 0 && tcgetattr(fd, &applied) == 0 &&
                  cfgetospeed(&applied) == speed;
  if (!ok) {
    const int error = errno ? errno : EINVAL;
    tcsetattr(fd, TCSANOW, &saved);
    char text[96];
    std::snprintf(text, sizeof text, "CComPort::Initialize() - SetCommState() Failed : %d", error);
    ShowBox(text);
    return fail(fd);
  }
  // Stale input goes; output is never discarded (see DrainLocked).
  tcflush(fd, TCIFLUSH);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_saved = saved;
    g_exitSaved = saved;
    g_exitFd = fd;
    m_inCount = m_inNext = 0;
    m_lost = false;
    m_lostError = 0;
    m_lossDiagnostic.clear();
    m_writeFailed = false;
    m_closing = false;
    m_fd = fd;
  }
  char text[512];
  std::snprintf(text, sizeof text, "Initialize COM Port [%s, %d]", m_device.c_str(), static_cast<int>(baudRate));
  Notify(text);
  return true;
}

bool CPosixSerialLine::Uninitialize() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || !MayUsePort()) return false;
    m_closing = true;
  }
  Wake();  // a reader waiting in ReadByte lets go of the line
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const int fd = m_fd;
    if (fd < 0) return false;
    g_exitFd = -1;
    if (!m_lost) {
      DrainLocked();
      tcflush(fd, TCIFLUSH);
      const int dtr = TIOCM_DTR;
      ioctl(fd, TIOCMBIC, &dtr);  // drop DTR, as the library's port does (a pty refuses it)
      tcsetattr(fd, TCSANOW, &m_saved);
    }
    close(fd);
    m_fd = -1;
    m_inCount = m_inNext = 0;
  }
  Notify("Uninitialize COM Port");
  return true;
}

void CPosixSerialLine::DrainLocked() {
  const int fd = m_fd;
  // Written bytes leave before a purge or a close: the library's writes return only once the
  // port has taken them, a tty's as soon as they are queued. Output is then never flushed: on a
  // pty the queue reads as empty while the far end has not read it yet, and a flush of the
  // output would throw those bytes away (the end header of a download, for one).
  const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
  int queued = 0;
  bool known = ioctl(fd, TIOCOUTQ, &queued) == 0;
  while (known && queued > 0 && MsLeft(deadline) > 0) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    known = ioctl(fd, TIOCOUTQ, &queued) == 0;
  }
  if (!known || queued == 0) tcdrain(fd);  // what the UART itself still holds
}

bool CPosixSerialLine::WriteData(const unsigned char* data, unsigned long length) {
  unsigned long done = 0;
  int error = 0;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0 || !MayUsePort() || m_lost) return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (done < length) {
      const ssize_t n = write(m_fd, data + done, length - done);
      if (n > 0) {
        done += static_cast<unsigned long>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) {
        const int left = MsLeft(deadline);
        if (left == 0) break;  // the line takes nothing: a short write
        struct pollfd p = {m_fd, POLLOUT, 0};
        if (poll(&p, 1, left) > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
          error = EIO;
          break;
        }
        continue;
      }
      error = n < 0 ? errno : EIO;
      break;
    }
  }
  if (done == length) return true;

  char text[96];
  if (error) {
    // The device is gone: the reader reports the failed write with the lost line, as the
    // library's monitor does; later writes fail without a word.
    if (!m_writeFailed.exchange(true)) {
      std::snprintf(text, sizeof text, "CComPort::WriteData() - WriteFile() Failed : %d", error);
      std::lock_guard<std::mutex> lock(m_mutex);
      m_lossDiagnostic = text;
    }
    MarkLost(error);
    return false;
  }
  std::snprintf(text, sizeof text, "CComPort::WriteData() - WriteFile() wrote %lu of %lu bytes", done, length);
  ReportError(text);
  Beep();
  return false;
}

bool CPosixSerialLine::WriteByte(unsigned char byte) { return WriteData(&byte, 1); }

void CPosixSerialLine::PurgePort() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd < 0 || !MayUsePort() || m_lost) return;
  DrainLocked();
  tcflush(m_fd, TCIFLUSH);
  m_inCount = m_inNext = 0;
}

std::string CPosixSerialLine::LossDiagnostic() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_lossDiagnostic;
}

void CPosixSerialLine::MarkLost(int error) {
  if (!m_lost.exchange(true)) m_lostError = error;
}

void CPosixSerialLine::Wake() {
  if (m_wake[1] < 0) return;
  const char byte = 1;
  ssize_t ignored = write(m_wake[1], &byte, 1);
  (void)ignored;
}

CPosixSerialLine::ReadResult CPosixSerialLine::ReadByte(unsigned char* out, int timeoutMs) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_fd < 0 || m_closing || !MayUsePort()) return kNone;
  if (m_inNext < m_inCount) {
    *out = m_in[m_inNext++];
    return kByte;
  }
  if (m_lost) return kLost;
  struct pollfd p[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
  const int ready = poll(p, 2, timeoutMs);
  if (p[1].revents & POLLIN) {
    char drain[64];
    while (read(m_wake[0], drain, sizeof drain) > 0) {
    }
  }
  if (ready <= 0 || m_closing || !(p[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) return kNone;
  const ssize_t n = read(m_fd, m_in, sizeof m_in);
  if (n > 0) {
    m_inCount = static_cast<int>(n);
    m_inNext = 1;
    *out = m_in[0];
    return kByte;
  }
  const bool hungUp = p[0].revents & (POLLHUP | POLLERR | POLLNVAL);
  if (n < 0 && (errno == EAGAIN || errno == EINTR) && !hungUp) return kNone;
  // End of file or an error on a tty: the device hung up (a USB adapter pulled, the far end gone).
  MarkLost(n < 0 && errno != EAGAIN && errno != EINTR ? errno : EIO);
  return kLost;
}

void CPosixSerialLine::RestoreForExit() {
  const int fd = g_exitFd.exchange(-1);
  if (fd >= 0) tcsetattr(fd, TCSANOW, &g_exitSaved);
  CUucpLock::ReleaseForExit();
}
