// FlashOptions.h - the flasher's command line: port, rate, image, line mode and error limit, checked before anything opens.
#pragma once

#include <string>

class CFlashOptions {
 public:
  static constexpr int kNoErrorLimit = -1;

  // Reads the arguments after the program name. False with a message for the user when
  // they are wrong: unknown options, a rate the box does not know, a port outside 1-255,
  // an image that cannot be opened.
  bool Parse(int argc, const char* const* argv);

  const std::string& Error() const { return m_error; }
  bool HelpAsked() const { return m_help; }
  static const char* Usage(bool namedPorts = false);

  // Set before Parse where ports are devices (POSIX): --port then names the device
  // ("/dev/ttyUSB0"; a bare "ttyUSB0" means the one in /dev) instead of a COM number.
  bool namedPorts = false;
  std::string device = "/dev/ttyUSB0";
  unsigned short port = 1;
  unsigned long baud = 115200;
  std::string image;
  bool each = false;               // line mode: arm again after every completed download
  int maxErrors = kNoErrorLimit;   // error reports from one box before it is given up

 private:
  bool Fail(const std::string& text);

  std::string m_error;
  bool m_help = false;
};
