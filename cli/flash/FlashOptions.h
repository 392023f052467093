// FlashOptions.h - the flasher's command line: ports, rate, image, line mode, limits, log and output, checked before anything opens.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

class CFlashOptions {
 public:
  static constexpr int kNoErrorLimit = -1;
  static constexpr int kMaxSeconds = 86400;

  enum Mode { kRun, kHelp, kVersion, kListPorts };

  // Reads the arguments after the program name. False with a message for the user when
  // they are wrong: unknown options, a rate the box does not know, a port outside 1-255
  // or given twice, an image that cannot be opened.
  bool Parse(int argc, const char* const* argv);

  const std::string& Error() const { return m_error; }
  bool HelpAsked() const { return mode == kHelp; }
  static const char* Usage(bool namedPorts = false);

  // The ports given, each as a person names it ("COM3", "/dev/ttyUSB0").
  std::size_t PortCount() const { return std::max<std::size_t>(1, namedPorts ? devices.size() : ports.size()); }
  std::string PortLabel(std::size_t index) const;
  // The arguments of the velflash that serves one of several ports (after the program name).
  std::vector<std::string> ChildArguments(std::size_t index) const;

  // Set before Parse where ports are devices (POSIX): --port then names the device
  // ("/dev/ttyUSB0"; a bare "ttyUSB0" means the one in /dev) instead of a COM number.
  bool namedPorts = false;

  Mode mode = kRun;
  std::vector<unsigned short> ports;  // COM numbers as given; port 1 when none is
  std::vector<std::string> devices;   // devices as given where ports are named; /dev/ttyUSB0 when none is
  unsigned short port = 1;            // the first of them: the one a single session serves
  std::string device = "/dev/ttyUSB0";
  unsigned long baud = 115200;
  std::string image;
  bool each = false;               // line mode: arm again after every box
  int maxErrors = kNoErrorLimit;   // error reports from one box before it is given up
  int timeout = 0;                 // seconds from arming to the box's first SYNC; 0: none
  int deadline = 0;                // seconds from the box's SYNC to its end; 0: none
  std::string log;                 // file that gets one JSON record per box
  bool quiet = false;              // only summaries and errors
  bool child = false;              // serving one port for a velflash that serves several

 private:
  bool Fail(const std::string& text);
  bool AddPorts(const std::string& list);
  // The port as --port takes it: the COM number or the device.
  std::string PortArgument(std::size_t index) const;

  std::string m_error;
};
