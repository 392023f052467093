#include "FlashSession.h"

#include <cstdio>
#include <cstdlib>

#include "BoxAnswerer.h"
#include "VelManager.h"

namespace {

// The serial view's message numbers for the library's events and its busy flag.
constexpr UINT kEventMsg = WM_USER + 1;
constexpr UINT kInProcessMsg = WM_USER + 2;
// Posted to the session's window: a box was answered; stop (Ctrl-C).
constexpr UINT kBoxMsg = WM_APP + 1;
constexpr UINT kStopMsg = WM_APP + 2;

constexpr UINT_PTR kSilenceTimer = 10;
// Line mode arms again this long after a box is done, so that the library's reader has
// left the notification that ended it before the processor is armed anew.
constexpr UINT_PTR kArmTimer = 11;
constexpr UINT kArmDelayMs = 500;
constexpr DWORD kCancelWaitMs = 1000;
constexpr double kProgressPeriod = 0.2;

const char kClassName[] = "VelFlashClient";

std::string TimeStamp() {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return text;
}

}  // namespace

CFlashSession::CFlashSession(const CFlashOptions& options) : m_options(options) {
  QueryPerformanceFrequency(&m_frequency);
  QueryPerformanceCounter(&m_start);
}

CFlashSession::~CFlashSession() = default;

double CFlashSession::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - m_start.QuadPart) / double(m_frequency.QuadPart);
}

void CFlashSession::RequestStop() {
  InterlockedExchange(&m_stopRequested, 1);
  HWND h = m_hWnd;
  if (h) PostMessageA(h, kStopMsg, 0, 0);
}

int CFlashSession::Run() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  // A hidden top-level window rather than a message-only one: the library's boxes are owned
  // by the client window, and an owner must be a top-level window.
  m_hWnd = CreateWindowExA(0, kClassName, "velflash", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
  if (!m_hWnd) {
    std::fprintf(stderr, "velflash: cannot create the client window\n");
    return 1;
  }
  m_answerer.reset(new CBoxAnswerer(m_hWnd, kBoxMsg));
  m_manager = new CVelManager;
  m_manager->SetComportInfo(m_options.port, m_options.baud);
  m_manager->SetParentInfo(m_hWnd, kEventMsg, kInProcessMsg, &m_cancel);

  Arm();
  // A stop asked for before the window existed.
  if (m_stopRequested) PostMessageA(m_hWnd, kStopMsg, 0, 0);
  MSG msg;
  while (!m_finished && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  ClearProgress();
  if (m_manager->IsConnectedComport()) m_manager->StopTransfer();
  // Lines posted by the library meanwhile ("Canceled...") and boxes still to report.
  while (PeekMessageA(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
    if (msg.message == kEventMsg || msg.message == kBoxMsg) DispatchMessageA(&msg);
  }
  // The manager waits for its reader, answering what it still sends.
  delete m_manager;
  m_manager = nullptr;
  OnBoxes();
  m_answerer.reset();
  DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  // The run's last words come after everything the library said.
  for (const std::string& line : m_closingLines) PrintLine("", line);
  std::fflush(stdout);
  return m_exitCode;
}

LRESULT CALLBACK CFlashSession::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<CFlashSession*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (self && self->m_hWnd == hWnd) return self->Handle(msg, wParam, lParam);
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

LRESULT CFlashSession::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kEventMsg:
      OnEvent(reinterpret_cast<const char*>(wParam), static_cast<long>(lParam));
      return 0;
    case kInProcessMsg:
      if (wParam == 1) m_cancel = 0;  // as the serial view does when a transfer starts
      return 0;
    case kBoxMsg:
      OnBoxes();
      return 0;
    case kStopMsg:
      Stop();
      return 0;
    case WM_TIMER:
      if (wParam == kSilenceTimer) {
        // The library restarts timer 10 after every byte: 120 s without one.
        KillTimer(m_hWnd, kSilenceTimer);
        if (m_tracker && m_tracker->Started() && m_tracker->Result() == CDownloadTracker::kRunning) {
          ClearProgress();
          PrintLine("E:", "no byte from the box for 120 s");
          EndBox(CDownloadTracker::kSilent);
        }
        return 0;
      }
      if (wParam == kArmTimer) {
        KillTimer(m_hWnd, kArmTimer);
        if (!m_finished && !m_stopping) Arm();
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

void CFlashSession::Arm() {
  m_tracker.reset(new CDownloadTracker(m_options.maxErrors));
  ++m_boxNumber;
  m_lastProgress = -1;
  ResetEvent(m_manager->m_hCancelEvent);
  m_cancel = 0;
  const int fileOk = m_manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, m_options.image.c_str());
  OnBoxes();  // a box shown while arming has been answered by now
  if (m_finished) return;
  if (!fileOk) {
    EndBox(CDownloadTracker::kImageRefused);
  } else if (!m_manager->IsConnectedComport()) {
    EndBox(CDownloadTracker::kPortFailed);
  } else if (m_options.each) {
    PrintLine("N:", "box " + std::to_string(m_boxNumber) + ": waiting for the box");
  }
}

void CFlashSession::OnEvent(const char* text, long kind) {
  const std::string line = text ? text : "";
  switch (kind) {
    case 0:
      PrintLine("N:", line);
      break;
    case 1:
      PrintLine("E:", line);
      // Only the error that decides a box ends it; what the library says after that is only shown.
      if (m_tracker && m_tracker->Result() == CDownloadTracker::kRunning) {
        m_tracker->OnError(line);
        if (m_tracker->Result() != CDownloadTracker::kRunning) EndBox(m_tracker->Result());
      }
      break;
    case 3:
      if (m_tracker) {
        m_tracker->OnProgress(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), Now());
        ShowProgress(false);
      }
      break;
    case 4:
      if (m_tracker) m_tracker->OnTotal(static_cast<uint32_t>(std::strtoul(line.c_str(), nullptr, 10)), Now());
      break;
    case 5:
      if (m_tracker && m_tracker->Result() == CDownloadTracker::kRunning) {
        m_tracker->OnComplete(Now());
        ShowProgress(true);
        EndBox(CDownloadTracker::kDownloaded);
      }
      break;
    default:
      PrintLine("U:", line);
      break;
  }
}

void CFlashSession::OnBoxes() {
  if (!m_answerer) return;
  for (const CBoxAnswerer::Box& box : m_answerer->Take()) {
    PrintLine("B:", box.caption.empty() ? box.text : box.text + " [" + box.caption + "]");
    if (!m_tracker || m_tracker->Result() != CDownloadTracker::kRunning) continue;
    if (CDownloadTracker::IsPortFailure(box.text))
      EndBox(CDownloadTracker::kPortFailed);
    else if (CDownloadTracker::IsImageRefusal(box.text))
      EndBox(CDownloadTracker::kImageRefused);
  }
}

void CFlashSession::EndBox(CDownloadTracker::Outcome outcome) {
  if (m_finished || !m_tracker) return;
  m_tracker->Decide(outcome, Now());
  outcome = m_tracker->Result();
  ClearProgress();
  // As the serial view does on completion, also from inside the library's notification.
  if (m_manager->IsConnectedComport()) m_manager->StopTransfer();
  const std::string summary = m_tracker->Summary(m_boxNumber, Now());
  const int code = CDownloadTracker::ExitCode(outcome);
  const bool boxFault = outcome == CDownloadTracker::kSilent || outcome == CDownloadTracker::kTooManyErrors;
  if (m_options.each && (outcome == CDownloadTracker::kDownloaded || boxFault)) {
    PrintLine("", summary);
    if (code != 0 && m_firstFailure == 0) m_firstFailure = code;
    SetTimer(m_hWnd, kArmTimer, kArmDelayMs, nullptr);
    return;
  }
  m_closingLines.push_back(summary);
  Finish(code);
}

void CFlashSession::Stop() {
  if (m_finished || m_stopping) return;
  m_stopping = true;
  ClearProgress();
  PrintLine("N:", "stop requested");
  const bool downloading =
      m_tracker && m_tracker->Started() && m_tracker->Result() == CDownloadTracker::kRunning;
  if (!downloading) {
    // No box is being served: close the port and end.
    if (m_manager->IsConnectedComport()) m_manager->StopTransfer();
    if (m_options.each && m_boxNumber > 1) {
      m_closingLines.push_back(std::to_string(m_boxNumber - 1) + " box(es) served");
      Finish(m_firstFailure);
    } else {
      if (m_tracker) m_tracker->Decide(CDownloadTracker::kStopped, Now());
      Finish(CDownloadTracker::ExitCode(CDownloadTracker::kStopped));
    }
    return;
  }
  // The library honours the cancel after the next byte from the box; the library's
  // notifications are answered meanwhile.
  m_cancel = 1;
  const DWORD start = GetTickCount();
  DWORD wait = WAIT_TIMEOUT;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kCancelWaitMs) break;
    wait = MsgWaitForMultipleObjects(1, &m_manager->m_hCancelEvent, FALSE, kCancelWaitMs - elapsed,
                                     QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  if (wait == WAIT_OBJECT_0) {
    ResetEvent(m_manager->m_hCancelEvent);
    PrintLine("N:", "the library cancelled the download");
  } else {
    PrintLine("N:", "the box did not answer within a second: transfer stopped");
  }
  m_cancel = 0;
  if (m_finished) return;  // the download ended meanwhile
  EndBox(CDownloadTracker::kStopped);
}

void CFlashSession::Finish(int exitCode) {
  if (m_finished) return;
  m_finished = true;
  m_exitCode = exitCode;
  PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the message loop
}

void CFlashSession::PrintLine(const char* prefix, const std::string& text) {
  ClearProgress();
  if (*prefix)
    std::printf("%s %s %s\n", TimeStamp().c_str(), prefix, text.c_str());
  else
    std::printf("%s %s\n", TimeStamp().c_str(), text.c_str());
  std::fflush(stdout);
}

void CFlashSession::ShowProgress(bool force) {
  // Nothing to show until the first image bytes are on their way.
  if (!m_tracker || !m_tracker->Started() || m_tracker->Offset() == 0) return;
  const double now = Now();
  if (!force && m_lastProgress >= 0 && now - m_lastProgress < kProgressPeriod) return;
  m_lastProgress = now;
  std::string line = m_tracker->ProgressLine(now);
  const std::size_t width = line.size();
  if (line.size() < m_progressWidth) line.append(m_progressWidth - line.size(), ' ');
  m_progressWidth = width;
  std::printf("\r%s", line.c_str());
  std::fflush(stdout);
  m_progressShown = true;
}

void CFlashSession::ClearProgress() {
  if (!m_progressShown) return;
  std::printf("\r%*s\r", static_cast<int>(m_progressWidth), "");
  std::fflush(stdout);
  m_progressShown = false;
  m_progressWidth = 0;
  m_lastProgress = -1;
}
