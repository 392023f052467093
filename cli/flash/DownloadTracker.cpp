#include "DownloadTracker.h"

#include <cstdio>

#include "LostPortText.h"

namespace {

// The texts the library shows for the box's error reports (codes 0x51 to 0x5A, and any
// other code).
const char* const kBoxReports[] = {"Function Communication", "Download End",       "Header is wrong",
                                   "Data Communication",     "Count number",       "Checksum check",
                                   "Frash erase failure",    "Header communication", "Data communication",
                                   "Unknown"};

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string Clock(double seconds) {
  if (seconds < 0) seconds = 0;
  const long s = static_cast<long>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

int CDownloadTracker::ExitCode(Outcome outcome) {
  switch (outcome) {
    case kDownloaded: return 0;
    case kPortFailed: return 3;
    case kPortLost: return 3;
    case kImageRefused: return 4;
    case kSilent: return 5;
    case kTooManyErrors: return 6;
    case kNoBox: return 7;
    case kDeadline: return 8;
    case kStopped: return 130;
    case kRunning: break;
  }
  return 1;
}

const char* CDownloadTracker::Describe(Outcome outcome) {
  switch (outcome) {
    case kRunning: return "unfinished";
    case kDownloaded: return "downloaded";
    case kPortFailed: return "port failed";
    case kPortLost: return "port lost";
    case kImageRefused: return "image refused";
    case kSilent: return "box silent";
    case kTooManyErrors: return "too many error reports";
    case kNoBox: return "no box";
    case kDeadline: return "deadline passed";
    case kStopped: return "stopped";
  }
  return "unfinished";
}

const char* CDownloadTracker::Key(Outcome outcome) {
  switch (outcome) {
    case kRunning: return "unfinished";
    case kDownloaded: return "downloaded";
    case kPortFailed: return "port_failed";
    case kPortLost: return "port_lost";
    case kImageRefused: return "image_refused";
    case kSilent: return "box_silent";
    case kTooManyErrors: return "too_many_error_reports";
    case kNoBox: return "no_box";
    case kDeadline: return "deadline_passed";
    case kStopped: return "stopped";
  }
  return "unfinished";
}

bool CDownloadTracker::IsBoxReport(const std::string& text) {
  for (const char* report : kBoxReports)
    if (text == report) return true;
  return false;
}

bool CDownloadTracker::IsImageRefusal(const std::string& text) {
  return StartsWith(text, "Image file is ") || StartsWith(text, "CVelOldManagerProcessor::SetFilePath()") ||
         StartsWith(text, "CVelManager::ReadyToTransfer() - CreateFile(");
}

bool CDownloadTracker::IsPortFailure(const std::string& text) {
  return StartsWith(text, "Failed to open com port") || StartsWith(text, "CComPort::Initialize()");
}

bool CDownloadTracker::IsPortLoss(const std::string& text) {
  if (StartsWith(text, "CComPort::WriteData() - WriteFile() Failed")) return true;
  // The words after the port's name and error code, from the library's own formatter.
  const std::string words = FormatLostPortText(0, 0);
  const std::string tail = words.substr(words.find("):") + 1);
  return StartsWith(text, "Lost ") && text.size() > tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void CDownloadTracker::OnTotal(uint32_t size, double now) {
  if (!m_started) m_firstStart = now;
  m_started = true;
  m_size = size;
  m_offset = 0;
  m_attemptStart = now;
}

void CDownloadTracker::OnProgress(uint32_t offset, double now) {
  m_offset = offset;
  if (offset > m_reached) m_reached = offset;
}

void CDownloadTracker::OnError(const std::string& text) {
  const bool report = IsBoxReport(text);
  std::vector<std::string>& kept = report ? m_reportTexts : m_errorTexts;
  if (kept.size() < kKeptErrors)
    kept.push_back(text);
  else
    ++m_errorsLeftOut;
  if (m_outcome != kRunning) return;
  if (IsImageRefusal(text)) {
    m_outcome = kImageRefused;
  } else if (IsPortLoss(text)) {
    m_outcome = kPortLost;
  } else if (report) {
    ++m_boxReports;
    if (m_maxErrors >= 0 && m_boxReports > m_maxErrors) m_outcome = kTooManyErrors;
  }
}

void CDownloadTracker::OnComplete(double now) {
  if (m_outcome != kRunning) return;
  m_outcome = kDownloaded;
  m_offset = m_reached = m_size;
  m_end = now;
}

void CDownloadTracker::Decide(Outcome outcome, double now) {
  if (m_outcome != kRunning) return;
  m_outcome = outcome;
  m_end = now;
}

std::string CDownloadTracker::ProgressLine(double now) const {
  const double elapsed = now - m_attemptStart;
  const double percent = m_size ? 100.0 * m_offset / m_size : 0;
  const double rate = elapsed > 0 ? m_offset / elapsed : 0;
  std::string estimate = "-:--";
  if (m_offset > 0 && elapsed >= 1) estimate = Clock(elapsed * m_size / m_offset);
  char text[128];
  std::snprintf(text, sizeof text, "%3d%%  %lu of %lu bytes  %.1f KB/s  %s / %s", static_cast<int>(percent),
                static_cast<unsigned long>(m_offset), static_cast<unsigned long>(m_size), rate / 1024,
                Clock(elapsed).c_str(), estimate.c_str());
  return text;
}

double CDownloadTracker::Seconds(double now) const {
  const double end = m_end >= 0 ? m_end : now;
  return m_started ? end - m_firstStart : 0;
}

std::string CDownloadTracker::Summary(int number, double now) const {
  const double seconds = Seconds(now);
  char text[160];
  std::snprintf(text, sizeof text, "box %d: %lu bytes, %.1f s, %s", number, static_cast<unsigned long>(m_reached),
                seconds, Describe(m_outcome));
  std::string line = text;
  if (m_boxReports > 0) {
    std::snprintf(text, sizeof text, " (%d error report%s)", m_boxReports, m_boxReports == 1 ? "" : "s");
    line += text;
  }
  return line;
}
