#include "Win32FlashPlatform.h"

#include "BoxAnswerer.h"
#include "FlashSession.h"
#include "VelManager.h"
#include "Win32Terminal.h"

namespace {

// The serial view's message numbers for the library's events and its busy flag.
constexpr UINT kEventMsg = WM_USER + 1;
constexpr UINT kInProcessMsg = WM_USER + 2;
// Posted to the window: a box was answered; stop (Ctrl-C).
constexpr UINT kBoxMsg = WM_APP + 1;
constexpr UINT kStopMsg = WM_APP + 2;

const char kClassName[] = "VelFlashClient";

}  // namespace

CWin32FlashPlatform::CWin32FlashPlatform(unsigned short port, unsigned long baudRate)
    : m_port(port), m_baudRate(baudRate) {}

CWin32FlashPlatform::~CWin32FlashPlatform() = default;

void CWin32FlashPlatform::RequestStop() {
  InterlockedExchange(&m_stopRequested, 1);
  HWND h = m_hWnd;
  if (h) PostMessageA(h, kStopMsg, 0, 0);
}

int CWin32FlashPlatform::Run(CFlashSession& session) {
  m_session = &session;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);
  // A hidden top-level window rather than a message-only one: the library's boxes are owned
  // by the client window, and an owner must be a top-level window.
  m_hWnd = CreateWindowExA(0, kClassName, "velflash", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
  if (!m_hWnd) {
    Write(kErr, "velflash: cannot create the client window\n");
    return 1;
  }
  m_answerer.reset(new CBoxAnswerer(m_hWnd, kBoxMsg));
  m_manager = new CVelManager;
  m_manager->SetComportInfo(m_port, m_baudRate);
  m_manager->SetParentInfo(m_hWnd, kEventMsg, kInProcessMsg, &m_cancel);

  session.Start();
  // A stop asked for before the window existed.
  if (m_stopRequested) PostMessageA(m_hWnd, kStopMsg, 0, 0);
  MSG msg;
  while (!m_loopEnded && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }

  session.BeforeClose();
  // Lines posted by the library meanwhile ("Canceled...") and boxes still to report.
  while (PeekMessageA(&msg, m_hWnd, 0, 0, PM_REMOVE)) {
    if (msg.message == kEventMsg || msg.message == kBoxMsg) DispatchMessageA(&msg);
  }
  // The manager waits for its reader, answering what it still sends.
  delete m_manager;
  m_manager = nullptr;
  DeliverBoxes();
  m_answerer.reset();
  DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
  const int status = session.Close();
  m_session = nullptr;
  return status;
}

LRESULT CALLBACK CWin32FlashPlatform::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<CWin32FlashPlatform*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (self && self->m_hWnd == hWnd && self->m_session) return self->Handle(msg, wParam, lParam);
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

LRESULT CWin32FlashPlatform::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kEventMsg:
      m_session->OnEvent(reinterpret_cast<const char*>(wParam), static_cast<long>(lParam));
      return 0;
    case kInProcessMsg:
      if (wParam == 1) m_cancel = 0;  // as the serial view does when a transfer starts
      return 0;
    case kBoxMsg:
      DeliverBoxes();
      return 0;
    case kStopMsg:
      m_session->OnStopRequest();
      return 0;
    case WM_TIMER:
      m_session->OnTimer(static_cast<unsigned>(wParam));
      return 0;
    default:
      break;
  }
  return DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

void CWin32FlashPlatform::DeliverBoxes() {
  if (!m_answerer || !m_session) return;
  for (const CBoxAnswerer::Box& box : m_answerer->Take()) m_session->OnBox(box.text, box.caption);
}

bool CWin32FlashPlatform::Arm(const std::string& image) {
  ResetEvent(m_manager->m_hCancelEvent);
  m_cancel = 0;
  const int fileOk = m_manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, image.c_str());
  DeliverBoxes();  // a box shown while arming has been answered by now
  return fileOk != 0;
}

bool CWin32FlashPlatform::IsPortOpen() { return m_manager && m_manager->IsConnectedComport(); }

void CWin32FlashPlatform::StopTransfer() {
  if (m_manager) m_manager->StopTransfer();
}

bool CWin32FlashPlatform::Cancel(unsigned waitMs) {
  m_cancel = 1;
  const DWORD start = GetTickCount();
  DWORD wait = WAIT_TIMEOUT;
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= waitMs) break;
    // Only sent messages are taken meanwhile: the library's events, which its reader waits on.
    wait = MsgWaitForMultipleObjects(1, &m_manager->m_hCancelEvent, FALSE, waitMs - elapsed, QS_SENDMESSAGE);
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  const bool confirmed = wait == WAIT_OBJECT_0;
  if (confirmed) ResetEvent(m_manager->m_hCancelEvent);
  m_cancel = 0;
  return confirmed;
}

void CWin32FlashPlatform::StartTimer(unsigned id, unsigned periodMs) { SetTimer(m_hWnd, id, periodMs, nullptr); }

void CWin32FlashPlatform::StopTimer(unsigned id) { KillTimer(m_hWnd, id); }

double CWin32FlashPlatform::Now() { return CWin32Terminal::Now(); }

int64_t CWin32FlashPlatform::UnixTimeMs() { return CWin32Terminal::UnixTimeMs(); }

std::string CWin32FlashPlatform::LocalClock() { return CWin32Terminal::LocalClock(); }

void CWin32FlashPlatform::Write(Stream stream, const std::string& text) { CWin32Terminal::Write(stream, text); }

bool CWin32FlashPlatform::OutputIsConsole() { return CWin32Terminal::OutputIsConsole(); }

void CWin32FlashPlatform::EndLoop() {
  m_loopEnded = true;
  if (m_hWnd) PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wakes the message loop
}
