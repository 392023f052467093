#include "FlashSession.h"

#include <cstdio>
#include <cstdlib>

#include "ManagerEvents.h"

namespace {

constexpr double kProgressPeriod = 0.2;

}  // namespace

CFlashSession::CFlashSession(const CFlashOptions& options, IFlashPlatform& platform)
    : m_options(options), m_platform(platform) {}

void CFlashSession::Start() { Arm(); }

void CFlashSession::OnTimer(unsigned id) {
  if (id == kSilenceTimerId) {
    // The library restarts its timer after every byte: 120 s without one.
    m_platform.StopTimer(kSilenceTimerId);
    if (m_tracker && m_tracker->Started() && m_tracker->Result() == CDownloadTracker::kRunning) {
      ClearProgress();
      PrintLine("E:", "no byte from the box for 120 s");
      EndBox(CDownloadTracker::kSilent);
    }
  } else if (id == kArmTimer) {
    m_platform.StopTimer(kArmTimer);
    if (!m_finished && !m_stopping) Arm();
  }
}

void CFlashSession::OnStopRequest() { Stop(); }

void CFlashSession::Arm() {
  m_tracker.reset(new CDownloadTracker(m_options.maxErrors));
  ++m_boxNumber;
  m_lastProgress = -1;
  const bool fileOk = m_platform.Arm(m_options.image);
  if (m_finished) return;
  if (!fileOk) {
    EndBox(CDownloadTracker::kImageRefused);
  } else if (!m_platform.IsPortOpen()) {
    EndBox(CDownloadTracker::kPortFailed);
  } else if (m_options.each) {
    PrintLine("N:", "box " + std::to_string(m_boxNumber) + ": waiting for the box");
  }
}

void CFlashSession::OnEvent(const char* text, long kind) {
  const std::string line = text ? text : "";
  switch (kind) {
    case EVENT_MESSAGE:
      PrintLine("N:", line);
      break;
    case EVENT_ERROR:
      PrintLine("E:", line);
      // Only the error that decides a box ends it; what the library says after that is only shown.
      if (m_tracker && m_tracker->Result() == CDownloadTracker::kRunning) {
        m_tracker->OnError(line);
        if (m_tracker->Result() != CDownloadTracker::kRunning) EndBox(m_tracker->Result());
      }
      break;
    case EVENT_PROGRESS:
      if (m_tracker) {
        m_tracker->OnProgress(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), m_platform.Now());
        ShowProgress(false);
      }
      break;
    case EVENT_TOTAL:
      if (m_tracker)
        m_tracker->OnTotal(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), m_platform.Now());
      break;
    case EVENT_COMPLETE:
      if (m_tracker && m_tracker->Result() == CDownloadTracker::kRunning) {
        m_tracker->OnComplete(m_platform.Now());
        ShowProgress(true);
        EndBox(CDownloadTracker::kDownloaded);
      }
      break;
    default:
      PrintLine("U:", line);
      break;
  }
}

void CFlashSession::OnBox(const std::string& text, const std::string& caption) {
  PrintLine("B:", caption.empty() ? text : text + " [" + caption + "]");
  if (!m_tracker || m_tracker->Result() != CDownloadTracker::kRunning) return;
  if (CDownloadTracker::IsPortFailure(text))
    EndBox(CDownloadTracker::kPortFailed);
  else if (CDownloadTracker::IsImageRefusal(text))
    EndBox(CDownloadTracker::kImageRefused);
}

void CFlashSession::EndBox(CDownloadTracker::Outcome outcome) {
  if (m_finished || !m_tracker) return;
  const double now = m_platform.Now();
  m_tracker->Decide(outcome, now);
  outcome = m_tracker->Result();
  ClearProgress();
  // As the serial view does on completion, also from inside the library's notification.
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
  const std::string summary = m_tracker->Summary(m_boxNumber, now);
  const int code = CDownloadTracker::ExitCode(outcome);
  if (m_options.each && m_tracker->Started()) {
    ++m_boxesServed;
    if (code != 0) {
      ++m_boxesFailed;
      if (m_firstFailure == 0) m_firstFailure = code;
    }
  }
  const bool boxFault = outcome == CDownloadTracker::kSilent || outcome == CDownloadTracker::kTooManyErrors;
  if (m_options.each && (outcome == CDownloadTracker::kDownloaded || boxFault)) {
    PrintLine("", summary);
    m_tracker.reset();  // between boxes until the next one is armed
    m_platform.StartTimer(kArmTimer, kArmDelayMs);
    return;
  }
  m_closingLines.push_back(summary);
  if (m_options.each) m_closingLines.push_back(CountLine());
  Finish(code);
}

std::string CFlashSession::CountLine() const {
  std::string line = std::to_string(m_boxesServed) + " box(es) served";
  if (m_boxesFailed > 0) line += ", " + std::to_string(m_boxesFailed) + " not downloaded";
  return line;
}

void CFlashSession::Stop() {
  if (m_finished || m_stopping) return;
  m_stopping = true;
  ClearProgress();
  PrintLine("N:", "stop requested");
  const bool downloading =
      m_tracker && m_tracker->Started() && m_tracker->Result() == CDownloadTracker::kRunning;
  if (!downloading) {
    StopBetweenBoxes();
    return;
  }
  // The library honours the cancel after the next byte from the box; its notifications are
  // handled meanwhile.
  if (m_platform.Cancel(kCancelWaitMs))
    PrintLine("N:", "the library cancelled the download");
  else
    PrintLine("N:", "the box did not answer within a second: transfer stopped");
  if (m_finished) return;  // the download ended meanwhile
  if (!m_tracker) {
    // Line mode: the box completed during the wait and the next one is not armed yet.
    StopBetweenBoxes();
    return;
  }
  EndBox(CDownloadTracker::kStopped);
}

void CFlashSession::StopBetweenBoxes() {
  // No box is being served: close the port and end.
  m_platform.StopTimer(kArmTimer);
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
  if (m_options.each) {
    // Between boxes: the boxes served so far decide.
    m_closingLines.push_back(CountLine());
    Finish(m_boxesServed > 0 ? m_firstFailure : CDownloadTracker::ExitCode(CDownloadTracker::kStopped));
  } else {
    EndBox(CDownloadTracker::kStopped);
  }
}

void CFlashSession::Finish(int exitCode) {
  if (m_finished) return;
  m_finished = true;
  m_exitCode = exitCode;
  m_platform.EndLoop();
}

void CFlashSession::BeforeClose() {
  ClearProgress();
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
}

int CFlashSession::Close() {
  // The run's last words come after everything the library said.
  for (const std::string& line : m_closingLines) PrintLine("", line);
  return m_exitCode;
}

void CFlashSession::PrintLine(const char* prefix, const std::string& text) {
  ClearProgress();
  std::string line = m_platform.LocalClock() + " ";
  if (*prefix) line += std::string(prefix) + " ";
  m_platform.Write(IFlashPlatform::kOut, line + text + "\n");
}

void CFlashSession::ShowProgress(bool force) {
  // Nothing to show until the first image bytes are on their way.
  if (!m_tracker || !m_tracker->Started() || m_tracker->Offset() == 0) return;
  const double now = m_platform.Now();
  if (!force && m_lastProgress >= 0 && now - m_lastProgress < kProgressPeriod) return;
  m_lastProgress = now;
  std::string line = m_tracker->ProgressLine(now);
  const std::size_t width = line.size();
  if (line.size() < m_progressWidth) line.append(m_progressWidth - line.size(), ' ');
  m_progressWidth = width;
  m_platform.Write(IFlashPlatform::kOut, "\r" + line);
  m_progressShown = true;
}

void CFlashSession::ClearProgress() {
  if (!m_progressShown) return;
  m_platform.Write(IFlashPlatform::kOut, "\r" + std::string(m_progressWidth, ' ') + "\r");
  m_progressShown = false;
  m_progressWidth = 0;
  m_lastProgress = -1;
}
