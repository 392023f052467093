// FlashOptions.h - the flasher's command line: ports, rate, image, line mode, limits, log and output, checked before anything opens.
#pragma once

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

  // The arguments of the velflash that serves one of several ports (after the program name).
  std::vector<std::string> ChildArguments(unsigned short childPort) const;

  // Set before Parse where ports are named by their device (POSIX): --port then takes device
  // paths ("/dev/ttyUSB0"; a bare "ttyUSB0" means the one in /dev), kept in `devices`, and
  // `ports` numbers them 1, 2, ... in the order given.
  static constexpr const char* kDefaultDevice = "/dev/ttyUSB0";
  bool namedPorts = false;
  std::vector<std::string> devices;
  // With named ports: the device of a port number; empty for a number outside them.
  const std::string& Device(unsigned short number) const;

  Mode mode = kRun;
  std::vector<unsigned short> ports;  // as given; port 1 when none is
  unsigned short port = 1;            // the first of them: the one a single session serves
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

  std::string m_error;
};
