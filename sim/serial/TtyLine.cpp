#include "TtyLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
bool Speed(uint32_t baud, speed_t& speed) {
  switch (baud) {
    case 9600: speed = B9600; return true;
    case 19200: speed = B19200; return true;
    case 38400: speed = B38400; return true;
    case 57600: speed = B57600; return true;
    case 115200: speed = B115200; return true;
    default: return false;
  }
}
}  // namespace

CTtyLine::~CTtyLine() { Close(); }

bool CTtyLine::Open(const std::string& path, uint32_t baud, std::string& error) {
  Close();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  struct termios tio;
  if (tcgetattr(fd, &tio) != 0) {
    error = path + " is not a terminal: " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  m_saved = tio;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  speed_t speed;
  if (Speed(baud, speed)) cfsetspeed(&tio, speed);
  if (tcsetattr(fd, TCSANOW, &tio) != 0) {
    error = "cannot set " + path + " raw: " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  tcflush(fd, TCIOFLUSH);
  m_fd = fd;
  m_restore = true;
  return true;
}

void CTtyLine::Close() {
  if (m_fd < 0) return;
  if (m_restore) tcsetattr(m_fd, TCSANOW, &m_saved);
  ::close(m_fd);
  m_fd = -1;
  m_restore = false;
}

bool CTtyLine::SetRate(uint32_t baud, std::string& error) {
  speed_t speed;
  if (!Speed(baud, speed)) {
    error = "no such line rate: " + std::to_string(baud);
    return false;
  }
  struct termios tio;
  if (tcgetattr(m_fd, &tio) != 0 || cfsetspeed(&tio, speed) != 0 || tcsetattr(m_fd, TCSANOW, &tio) != 0) {
    error = std::string("cannot set the line rate: ") + std::strerror(errno);
    return false;
  }
  return true;
}

ssize_t CTtyLine::Read(uint8_t* buffer, size_t size) { return ::read(m_fd, buffer, size); }

ssize_t CTtyLine::Write(const uint8_t* data, size_t size) { return ::write(m_fd, data, size); }
