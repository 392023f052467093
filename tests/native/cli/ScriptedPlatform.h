// ScriptedPlatform.h - the flasher's platform for native tests: a library that says what the test scripts, a
// clock the test moves, timers the test fires, and the output kept for reading.
#pragma once

#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "FlashPlatform.h"

class ScriptedPlatform : public IFlashPlatform {
 public:
  // What the library does when armed: the file test's result and whether the port opens.
  bool fileOk = true;
  bool portOpens = true;
  // Run inside Cancel before it returns (events the library sends meanwhile); its result.
  std::function<void()> duringCancel;
  bool cancelConfirmed = true;
  bool console = true;

  int arms = 0;
  int stops = 0;
  int cancels = 0;
  bool portOpen = false;
  bool loopEnded = false;
  std::set<unsigned> timers;
  double now = 0;
  std::string out;
  std::string err;

  bool Arm(const std::string&) override {
    ++arms;
    portOpen = portOpens;
    return fileOk;
  }
  bool IsPortOpen() override { return portOpen; }
  void StopTransfer() override {
    ++stops;
    portOpen = false;
  }
  bool Cancel(unsigned) override {
    ++cancels;
    if (duringCancel) duringCancel();
    return cancelConfirmed;
  }
  void StartTimer(unsigned id, unsigned) override { timers.insert(id); }
  void StopTimer(unsigned id) override { timers.erase(id); }
  double Now() override { return now; }
  int64_t UnixTimeMs() override { return 1700000000000LL + static_cast<int64_t>(now * 1000); }
  std::string LocalClock() override { return "12:00:00.000"; }
  void Write(Stream stream, const std::string& text) override { (stream == kErr ? err : out) += text; }
  bool OutputIsConsole() override { return console; }
  void EndLoop() override { loopEnded = true; }

  // Output lines without their time stamps; a progress line is what follows its last \r.
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t cr = line.rfind('\r');
      if (cr != std::string::npos) line = line.substr(cr + 1);
      if (line.compare(0, 13, "12:00:00.000 ") == 0) line = line.substr(13);
      lines.push_back(line);
    }
    return lines;
  }
};
