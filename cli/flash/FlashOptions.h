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
  static const char* Usage();

  // The arguments of the velflash that serves one of several ports (after the program name).
  std::vector<std::string> ChildArguments(unsigned short childPort) const;

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
