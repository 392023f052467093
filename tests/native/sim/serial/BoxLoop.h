// BoxLoop.h - connects the box engine and the test PC on one virtual time line and runs them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "SerialBox.h"
#include "TestPc.h"

class CBoxLoop {
 public:
  CBoxLoop(const SBoxSettings& settings, std::vector<uint8_t> image, CTestPc::SOptions pc = {});

  // Runs until `stop` holds or virtual time reaches `until`; true when `stop` held.
  bool Run(BoxTime until, const std::function<bool()>& stop = {});
  // Runs until the box has ended `count` downloads (or `until`).
  bool RunDownloads(size_t count, BoxTime until = 600 * 1000 * kBoxMs);

  // Every log line so far, formatted.
  const std::vector<std::string>& Log();
  bool Logged(const std::string& part);

  CSerialBox box;
  CTestPc pc;
  BoxTime now = 0;

 private:
  std::vector<std::string> m_log;
};
