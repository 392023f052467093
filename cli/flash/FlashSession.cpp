#include "FlashSession.h"

#include <cstdio>
#include <cstdlib>

#include "ImageFile.h"
#include "ImageInspection.h"
#include "ManagerEvents.h"

namespace {

constexpr double kProgressPeriod = 0.2;
// A parent serving several ports gets its children's progress this often.
constexpr double kChildProgressPeriod = 0.5;

}  // namespace

CFlashSession::CFlashSession(const CFlashOptions& options, IFlashPlatform& platform, CRunLog* log)
    : m_options(options),
      m_platform(platform),
      m_log(options.child ? nullptr : log),
      m_consoleProgress(!options.quiet && !options.child && platform.OutputIsConsole()),
      m_progress([&platform](const std::string& text) { platform.Write(IFlashPlatform::kOut, text); }) {}

void CFlashSession::Start() { Arm(); }

void CFlashSession::OnTimer(unsigned id) {
  m_platform.StopTimer(id);
  const bool running = m_tracker && m_tracker->Result() == CDownloadTracker::kRunning;
  if (id == kSilenceTimerId) {
    // The library restarts its timer after every byte: 120 s without one.
    if (running && m_tracker->Started()) {
      PrintLine("E:", "no byte from the box for 120 s");
      EndBox(CDownloadTracker::kSilent);
    }
  } else if (id == kContactTimer) {
    if (running && !m_tracker->Started()) {
      PrintLine("E:", "no box started within " + std::to_string(m_options.timeout) + " s");
      EndBox(CDownloadTracker::kNoBox);
    }
  } else if (id == kDeadlineTimer) {
    if (running && m_tracker->Started()) {
      PrintLine("E:", "the box did not finish within " + std::to_string(m_options.deadline) + " s");
      Abort(CDownloadTracker::kDeadline);
    }
  }
}

void CFlashSession::OnStopRequest() { Stop(); }

bool CFlashSession::CheckImage() {
  // The same walk and scan the library runs at the box's function request, before any
  // port opens; the file is read anew for every box, as the library does.
  std::vector<unsigned char> contents;
  std::string reason;
  if (!CImageFile::Read(m_options.image, contents, reason)) {
    PrintLine("E:", reason);
    m_refusal = reason;
    EndBox(CDownloadTracker::kImageRefused);
    return false;
  }
  m_facts.imageRead = true;
  m_facts.imageSize = static_cast<uint32_t>(contents.size());
  m_facts.imageCrc32 = CImageFile::Crc32(contents);
  const CImageInspection inspection(contents);
  if (inspection.Accepted()) return true;
  for (const std::string& problem : inspection.Problems()) {
    PrintLine("E:", problem);
    m_tracker->OnError(problem);
  }
  m_refusal = inspection.Why().empty() ? inspection.Problems().front() : inspection.Why();
  EndBox(CDownloadTracker::kImageRefused);
  return false;
}

void CFlashSession::Arm() {
  m_tracker.reset(new CDownloadTracker(m_options.maxErrors));
  ++m_boxNumber;
  m_lastProgress = -1;
  m_facts = CRunLog::BoxFacts();
  m_facts.port = m_options.PortLabel(0);
  m_facts.number = m_boxNumber;
  m_facts.baud = m_options.baud;
  m_facts.image = m_options.image;
  m_facts.armedMs = m_platform.UnixTimeMs();
  if (!CheckImage()) return;
  const int box = m_boxNumber;
  const bool fileOk = m_platform.Arm(m_options.image);
  // A box the library showed while arming may have decided already.
  if (m_finished || box != m_boxNumber || m_tracker->Result() != CDownloadTracker::kRunning) return;
  if (!fileOk) {
    EndBox(CDownloadTracker::kImageRefused);
  } else if (!m_platform.IsPortOpen()) {
    EndBox(CDownloadTracker::kPortFailed);
  } else {
    if (m_options.timeout > 0) m_platform.StartTimer(kContactTimer, static_cast<unsigned>(m_options.timeout) * 1000u);
    if (m_options.each) PrintLine("N:", "box " + std::to_string(m_boxNumber) + ": waiting for the box");
  }
}

void CFlashSession::OnEvent(const char* text, long kind) {
  const std::string line = text ? text : "";
  const bool running = m_tracker && m_tracker->Result() == CDownloadTracker::kRunning;
  switch (kind) {
    case EVENT_MESSAGE:
      PrintLine("N:", line);
      break;
    case EVENT_ERROR:
      PrintLine("E:", line);
      // Only the error that decides a box ends it; what the library says after that is only
      // shown and kept.
      if (m_tracker) {
        m_tracker->OnError(line);
        if (running && m_tracker->Result() != CDownloadTracker::kRunning) EndBox(m_tracker->Result());
      }
      break;
    case EVENT_PROGRESS:
      if (running) {
        m_tracker->OnProgress(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), m_platform.Now());
        ShowProgress(false);
      }
      break;
    case EVENT_TOTAL:
      if (running) {
        if (!m_tracker->Started()) {
          // The box's first SYNC: the wait for a box is over and its own time begins.
          m_platform.StopTimer(kContactTimer);
          m_facts.startMs = m_platform.UnixTimeMs();
          if (m_options.deadline > 0)
            m_platform.StartTimer(kDeadlineTimer, static_cast<unsigned>(m_options.deadline) * 1000u);
        }
        m_tracker->OnTotal(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), m_platform.Now());
      }
      break;
    case EVENT_COMPLETE:
      if (running) {
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
  if (CDownloadTracker::IsPortFailure(text)) {
    m_tracker->OnError(text);
    EndBox(CDownloadTracker::kPortFailed);
  } else if (CDownloadTracker::IsImageRefusal(text)) {
    m_tracker->OnError(text);
    EndBox(CDownloadTracker::kImageRefused);
  }
}

void CFlashSession::EndBox(CDownloadTracker::Outcome outcome) {
  if (m_finished || !m_tracker) return;
  const double now = m_platform.Now();
  m_tracker->Decide(outcome, now);
  outcome = m_tracker->Result();
  m_platform.StopTimer(kContactTimer);
  m_platform.StopTimer(kDeadlineTimer);
  ClearProgress();
  if (m_options.child && m_lastProgress >= 0) m_platform.Write(IFlashPlatform::kOut, "@progress 0 0 0\n");
  // As the serial view does on completion, also from inside the library's notification.
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
  const std::string summary = m_tracker->Summary(m_boxNumber, now);
  const int code = CDownloadTracker::ExitCode(outcome);
  WriteRecord(code);
  if (m_options.each) {
    if (m_tracker->Started()) {
      ++m_boxesServed;
      if (code != 0) ++m_boxesFailed;
    }
    if (code != 0 && m_firstFailure == 0) {
      m_firstFailure = code;
      m_firstAdvice = "box " + std::to_string(m_boxNumber) + ": " + Advice(outcome);
    }
  }
  const bool boxFault = outcome == CDownloadTracker::kSilent || outcome == CDownloadTracker::kTooManyErrors ||
                        outcome == CDownloadTracker::kDeadline;
  if (m_options.each && (outcome == CDownloadTracker::kDownloaded || boxFault)) {
    PrintSummary(summary);
    m_tracker.reset();
    if (m_stopping) {
      // A stop asked for while this box was ending: the line ends here.
      m_closingLines.push_back(CountLine());
      Finish(m_firstFailure, m_firstAdvice);
    } else {
      // At once, also from inside the completion: the library never undoes an arm made
      // while it reports the end of a download.
      Arm();
    }
    return;
  }
  m_closingLines.push_back(summary);
  if (!m_options.each) {
    Finish(code, Advice(outcome));
    return;
  }
  m_closingLines.push_back(CountLine());
  // Ctrl-C during a download ends the line with its own status; anything else that ends the
  // line leaves the first failure's.
  if (outcome == CDownloadTracker::kStopped)
    Finish(code, Advice(outcome));
  else
    Finish(m_firstFailure, m_firstAdvice);
}

void CFlashSession::WriteRecord(int status) {
  if (!m_log && !m_options.child) return;
  m_facts.status = status;
  const std::string line = CRunLog::BoxLine(m_facts, *m_tracker, m_platform.Now());
  // A log that cannot be written is said once, by Close, and makes the status say it too.
  if (m_options.child)
    m_platform.Write(IFlashPlatform::kOut, "@record " + line + "\n");
  else
    m_log->Append(line);
}

std::string CFlashSession::CountLine() const {
  std::string line = std::to_string(m_boxesServed) + " box(es) served";
  if (m_boxesFailed > 0) line += ", " + std::to_string(m_boxesFailed) + " not downloaded";
  return line;
}

std::string CFlashSession::Advice(CDownloadTracker::Outcome outcome) const {
  switch (outcome) {
    case CDownloadTracker::kDownloaded:
    case CDownloadTracker::kRunning:
      return "";
    case CDownloadTracker::kPortFailed:
      return std::string("the port cannot be opened: check its ") + (m_options.namedPorts ? "name" : "number") +
             " (velflash --list-ports) and that no other program uses it";
    case CDownloadTracker::kPortLost:
      return "the port was lost: check the cable or the USB-serial adapter";
    case CDownloadTracker::kImageRefused:
      return "the library refuses " + m_options.image + (m_refusal.empty() ? "" : ": " + m_refusal);
    case CDownloadTracker::kSilent:
      return "the box sent nothing for 120 s: check the cable and the box's power";
    case CDownloadTracker::kTooManyErrors:
      return "the box sent more error reports than --max-errors " + std::to_string(m_options.maxErrors) + " allows";
    case CDownloadTracker::kNoBox:
      return "no box started within " + std::to_string(m_options.timeout) +
             " s: check the cable and that the box is powered and waiting for a download";
    case CDownloadTracker::kDeadline:
      return "the box did not finish within " + std::to_string(m_options.deadline) + " s";
    case CDownloadTracker::kStopped:
      return "stopped by Ctrl-C";
  }
  return "";
}

void CFlashSession::Stop() {
  if (m_finished || m_stopping) return;
  m_stopping = true;
  PrintLine("N:", "stop requested");
  const bool downloading =
      m_tracker && m_tracker->Started() && m_tracker->Result() == CDownloadTracker::kRunning;
  if (downloading) {
    Abort(CDownloadTracker::kStopped);
    return;
  }
  // No box is being served: close the port and end.
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
  if (!m_options.each) {
    EndBox(CDownloadTracker::kStopped);
  } else {
    // Between boxes: the boxes served so far decide.
    m_closingLines.push_back(CountLine());
    if (m_boxesServed > 0)
      Finish(m_firstFailure, m_firstAdvice);
    else
      Finish(CDownloadTracker::ExitCode(CDownloadTracker::kStopped), Advice(CDownloadTracker::kStopped));
  }
}

void CFlashSession::Abort(CDownloadTracker::Outcome outcome) {
  // The library honours the cancel after the next byte from the box; its notifications are
  // handled meanwhile, and may end this box (and in line mode arm the next one).
  const int box = m_boxNumber;
  if (m_platform.Cancel(kCancelWaitMs))
    PrintLine("N:", "the library cancelled the download");
  else
    PrintLine("N:", "the box did not answer within a second: transfer stopped");
  if (m_finished || box != m_boxNumber || !m_tracker || m_tracker->Result() != CDownloadTracker::kRunning) return;
  EndBox(outcome);
}

void CFlashSession::Finish(int exitCode, const std::string& advice) {
  if (m_finished) return;
  m_finished = true;
  m_exitCode = exitCode;
  m_advice = advice;
  for (unsigned timer : {kContactTimer, kDeadlineTimer}) m_platform.StopTimer(timer);
  m_platform.EndLoop();
}

void CFlashSession::BeforeClose() {
  ClearProgress();
  if (m_platform.IsPortOpen()) m_platform.StopTransfer();
}

int CFlashSession::Close() {
  // The run's last words come after everything the library said.
  for (const std::string& line : m_closingLines) PrintSummary(line);
  const std::string port = "velflash: " + m_options.PortLabel(0) + ": ";
  if (m_log && m_log->Failed()) {
    m_platform.Write(IFlashPlatform::kErr, port + "cannot write to the log " + m_log->Path() +
                                               ": the records of this run are incomplete\n");
    if (m_exitCode == 0) m_exitCode = 1;
  }
  if (m_exitCode != 0 && !m_advice.empty()) m_platform.Write(IFlashPlatform::kErr, port + m_advice + "\n");
  return m_exitCode;
}

void CFlashSession::PrintLine(const char* prefix, const std::string& text) {
  if (m_options.quiet) return;
  ClearProgress();
  m_platform.Write(IFlashPlatform::kOut, m_platform.LocalClock() + " " + prefix + " " + text + "\n");
}

void CFlashSession::PrintSummary(const std::string& text) {
  ClearProgress();
  m_platform.Write(IFlashPlatform::kOut, m_platform.LocalClock() + " " + text + "\n");
}

void CFlashSession::ShowProgress(bool force) {
  // Nothing to show until the first image bytes are on their way.
  if (!m_tracker || !m_tracker->Started() || m_tracker->Offset() == 0) return;
  const double now = m_platform.Now();
  if (m_options.child) {
    if (!force && m_lastProgress >= 0 && now - m_lastProgress < kChildProgressPeriod) return;
    m_lastProgress = now;
    char text[96];
    std::snprintf(text, sizeof text, "@progress %lu %lu %.3f\n", static_cast<unsigned long>(m_tracker->Offset()),
                  static_cast<unsigned long>(m_tracker->Size()), m_tracker->AttemptSeconds(now));
    m_platform.Write(IFlashPlatform::kOut, text);
    return;
  }
  if (!m_consoleProgress) return;
  if (!force && m_lastProgress >= 0 && now - m_lastProgress < kProgressPeriod) return;
  m_lastProgress = now;
  m_progress.Show(m_tracker->ProgressLine(now));
}

void CFlashSession::ClearProgress() {
  if (!m_progress.Shown()) return;
  m_progress.Clear();
  m_lastProgress = -1;
}
