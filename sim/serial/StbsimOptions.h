// StbsimOptions.h - the command line of stbsim, read into the box's settings and the program's own options.
#pragma once

#include <string>
#include <vector>

#include "BoxSettings.h"

class CStbsimOptions {
 public:
  // False with `error` set for anything it cannot take; `help` set for --help.
  bool Parse(const std::vector<std::string>& args, std::string& error);
  static const char* Usage();

  bool help = false;
  std::string tty;
  std::string image;     // compared with each received image
  std::string received;  // where each completed download's image is written
  std::string report;    // "-": standard output
  unsigned downloads = 1;
  unsigned timeoutSec = 300;  // 0: no overall timeout
  SBoxSettings box;           // all but the reference image, which the program reads
};
