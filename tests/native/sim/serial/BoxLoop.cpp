#include "BoxLoop.h"

#include <algorithm>

CBoxLoop::CBoxLoop(const SBoxSettings& settings, std::vector<uint8_t> image, CTestPc::SOptions pc)
    : box(settings, 0), pc(std::move(image), pc) {}

bool CBoxLoop::Run(BoxTime until, const std::function<bool()>& stop) {
  for (;;) {
    std::vector<uint8_t> fromBox = box.TakeOutput(now);
    if (!fromBox.empty()) pc.Receive(fromBox, now);
    std::vector<uint8_t> fromPc = pc.TakeWrites(now);
    if (!fromPc.empty()) box.Feed(fromPc.data(), fromPc.size(), now);
    Log();
    if (stop && stop()) return true;
    BoxTime next = std::min(box.NextEventTime(), pc.NextTime());
    if (next > until) {
      now = std::max(now, until);
      box.Advance(now);
      Log();
      return false;
    }
    now = std::max(now, next);
  }
}

bool CBoxLoop::RunDownloads(size_t count, BoxTime until) {
  return Run(until, [&] { return box.Results().size() >= count; });
}

const std::vector<std::string>& CBoxLoop::Log() {
  for (const SBoxLogEntry& entry : box.TakeLog()) m_log.push_back(entry.Format());
  return m_log;
}

bool CBoxLoop::Logged(const std::string& part) {
  for (const std::string& line : Log())
    if (line.find(part) != std::string::npos) return true;
  return false;
}
