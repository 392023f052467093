#include "Station.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "RunLog.h"

namespace {

constexpr unsigned kWaitMs = 200;
constexpr double kProgressPeriod = 0.2;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

CStation::CStation(const CFlashOptions& options, IStationPlatform& platform, CRunLog* log)
    : m_options(options),
      m_platform(platform),
      m_log(log),
      m_consoleProgress(!options.quiet && platform.OutputIsConsole()),
      m_progress([&platform](const std::string& text) { platform.Write(IFlashPlatform::kOut, text); }) {}

const char* CStation::StatusName(int status) {
  switch (status) {
    case 0: return "downloaded";
    case 2: return "bad usage";
    case 3: return "port failed or lost";
    case 4: return "image refused";
    case 5: return "box silent";
    case 6: return "too many error reports";
    case 7: return "no box";
    case 8: return "deadline passed";
    case 130: return "stopped";
    default: return "failed";
  }
}

std::string CStation::Name(const Child& child) {
  std::string name = child.label;
  name.erase(name.find_last_not_of(' ') + 1);
  return name;
}

int CStation::Running() const {
  return static_cast<int>(std::count_if(m_children.begin(), m_children.end(), [](const Child& c) { return c.running; }));
}

int CStation::Run() {
  std::size_t width = 0;
  for (std::size_t i = 0; i < m_options.PortCount(); ++i) {
    Child child;
    child.index = i;
    child.label = m_options.PortLabel(i);
    width = std::max(width, child.label.size());
    m_children.push_back(child);
  }
  for (std::size_t i = 0; i < m_children.size(); ++i) {
    Child& child = m_children[i];
    const std::string name = child.label;
    child.label.resize(width, ' ');
    std::string reason;
    child.running = m_platform.StartChild(static_cast<int>(i), m_options.ChildArguments(child.index), reason);
    if (!child.running) {
      child.status = 1;
      Print(IFlashPlatform::kErr, "velflash: " + name + ": cannot start its velflash: " + reason + "\n");
    }
  }

  while (Running() > 0) {
    const IStationPlatform::Event e = m_platform.Next(kWaitMs);
    const double now = m_platform.Now();
    if (e.kind == IStationPlatform::Event::kLine && e.child >= 0) {
      OnLine(m_children[e.child], e.stream, e.text);
    } else if (e.kind == IStationPlatform::Event::kEnded && e.child >= 0) {
      Child& child = m_children[e.child];
      child.running = false;
      child.status = e.status;
      child.showing = false;
    } else if (e.kind == IStationPlatform::Event::kStop) {
      OnStop();
      if (m_endedAtOnce) break;
    }
    if (m_stops > 0 && m_killAt < 0 && now - m_stopAt > kStopGraceSeconds)
      KillAll("did not stop within 10 s: ended");
    // Ended children whose lines never finish coming are given up.
    if (m_killAt >= 0 && now - m_killAt > kKillGraceSeconds) break;
    ShowProgress();
  }
  ClearProgress();

  int worst = 0;
  std::string last = "ports:";
  for (Child& child : m_children) {
    if (child.running) child.status = 130;  // ended at once
    worst = std::max(worst, child.status);
    last += " " + Name(child) + " " + std::to_string(child.status) + " (" + StatusName(child.status) + ")";
    if (&child != &m_children.back()) last += ",";
  }
  Print(IFlashPlatform::kOut, m_platform.LocalClock() + " " + last + "\n");
  return worst;
}

void CStation::OnLine(Child& child, IFlashPlatform::Stream stream, const std::string& text) {
  if (stream == IFlashPlatform::kErr) {
    // The children's own error lines already name their port.
    Print(IFlashPlatform::kErr, StartsWith(text, "velflash: ") ? text + "\n" : child.label + " " + text + "\n");
    return;
  }
  if (StartsWith(text, "@record ")) {
    // Whole lines from one writer: records of several children never mix within a line. A
    // record that a child's end cut short is not written as if it were one.
    const std::string record = text.substr(8);
    if (!nlohmann::json::accept(record)) {
      Print(IFlashPlatform::kErr, "velflash: " + Name(child) + ": a box record came cut short and is not logged\n");
    } else if (m_log) {
      m_log->Append(record);
    }
    return;
  }
  if (StartsWith(text, "@progress ")) {
    // "@progress OFFSET SIZE SECONDS"; a size of 0 when the box has ended.
    if (std::sscanf(text.c_str() + 10, "%lu %lu %lf", &child.offset, &child.size, &child.seconds) == 3) {
      child.showing = child.size > 0;
      ShowProgress();
    }
    return;
  }
  Print(IFlashPlatform::kOut, child.label + " " + text + "\n");
}

void CStation::OnStop() {
  ++m_stops;
  if (m_stops == 1) {
    m_stopAt = m_platform.Now();
    Print(IFlashPlatform::kOut, m_platform.LocalClock() + " N: stop requested: stopping " +
                                    std::to_string(Running()) + " port(s)\n");
    for (std::size_t i = 0; i < m_children.size(); ++i)
      if (m_children[i].running) m_platform.StopChild(static_cast<int>(i));
    return;
  }
  KillAll("ended at once by a second Ctrl-C");
  m_endedAtOnce = true;
}

void CStation::KillAll(const char* why) {
  m_killAt = m_platform.Now();
  for (std::size_t i = 0; i < m_children.size(); ++i) {
    if (!m_children[i].running) continue;
    m_platform.KillChild(static_cast<int>(i));
    Print(IFlashPlatform::kErr, "velflash: " + Name(m_children[i]) + ": " + why + "\n");
  }
}

void CStation::Print(IFlashPlatform::Stream stream, const std::string& text) {
  ClearProgress();
  m_platform.Write(stream, text);
}

void CStation::ShowProgress() {
  if (!m_consoleProgress) return;
  const double now = m_platform.Now();
  if (m_lastProgress >= 0 && now - m_lastProgress < kProgressPeriod) return;
  std::string line;
  for (const Child& child : m_children) {
    if (!child.showing || child.size == 0) continue;
    char part[96];
    std::snprintf(part, sizeof part, "%s %3d%% %5.1f KB/s  ", child.label.c_str(),
                  static_cast<int>(100.0 * child.offset / child.size),
                  child.seconds > 0 ? child.offset / child.seconds / 1024 : 0.0);
    line += part;
  }
  if (line.empty() && !m_progress.Shown()) return;
  m_lastProgress = now;
  m_progress.Show(line);
}

void CStation::ClearProgress() {
  m_progress.Clear();
  m_lastProgress = -1;
}
