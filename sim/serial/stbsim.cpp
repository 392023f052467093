// stbsim: the simulated set-top box on a tty or pty (see README.md or --help).
#include <cstdio>
#include <string>
#include <vector>

#include "StbsimOptions.h"
#include "StbsimSession.h"

int main(int argc, char** argv) {
  CStbsimOptions options;
  std::string error;
  if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
    std::fprintf(stderr, "stbsim: %s (see stbsim --help)\n", error.c_str());
    return CStbsimSession::kUsage;
  }
  if (options.help) {
    std::fputs(CStbsimOptions::Usage(), stdout);
    return 0;
  }
  CStbsimSession session(options);
  int code = session.Run(error);
  if (code != CStbsimSession::kPass) std::fprintf(stderr, "stbsim: %s\n", error.c_str());
  return code;
}
