// TtyLine.h - a tty or pty opened raw for the simulated box: non-blocking reads and writes, settable rate.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

// Raw (cfmakeraw): no echo, no line editing, no output processing, 8N1; O_NOCTTY so that it never becomes
// the controlling terminal. The settings found at open are put back at close.
class CTtyLine {
 public:
  CTtyLine() = default;
  CTtyLine(const CTtyLine&) = delete;
  CTtyLine& operator=(const CTtyLine&) = delete;
  ~CTtyLine();

  bool Open(const std::string& path, uint32_t baud, std::string& error);
  void Close();
  // Takes effect at once; the box switches only when nothing of its own is in flight.
  bool SetRate(uint32_t baud, std::string& error);

  int Fd() const { return m_fd; }
  // As read(2)/write(2) on the non-blocking descriptor.
  ssize_t Read(uint8_t* buffer, size_t size);
  ssize_t Write(const uint8_t* data, size_t size);

 private:
  int m_fd = -1;
  bool m_restore = false;
  struct termios m_saved {};
};
