#include "PosixFlashPlatform.h"


#include "FlashSession.h"
#include "PosixDownloadEngine.h"
#include "PosixTerminal.h"

namespace {

// The serial view's message numbers for the library's events and its busy flag, and the
// loop's own: a box the library showed, a timer, a stop request.
constexpr unsigned int kEventMsg = 0x0400 + 1;
constexpr unsigned int kInProcessMsg = 0x0400 + 2;
constexpr unsigned int kBoxMsg = 0x8000 + 1;
constexpr unsigned int kTimerMsg = 0x8000 + 2;
constexpr unsigned int kStopMsg = 0x8000 + 3;

}  // namespace

CPosixFlashPlatform::CPosixFlashPlatform(std::string device, unsigned long baudRate, std::string lockFolder)
    : m_device(std::move(device)), m_baudRate(baudRate), m_lockFolder(std::move(lockFolder)) {
  m_loop.SetTimerMessage(kTimerMsg);
  m_loop.SetHandler([this](unsigned int msg, uintptr_t w, intptr_t l) { return Handle(msg, w, l); });
}

CPosixFlashPlatform::~CPosixFlashPlatform() = default;

int CPosixFlashPlatform::Run(CFlashSession& session) {
  m_session = &session;
  m_engine.reset(new CPosixDownloadEngine(m_loop, kBoxMsg, m_lockFolder));
  m_engine->SetComportInfo(m_device, m_baudRate);
  m_engine->SetParentInfo(kEventMsg, kInProcessMsg, &m_cancel);

  session.Start();
  if (!m_loopEnded) m_loop.Run();

  session.BeforeClose();
  // The engine stops its reader, answering what it still sends; lines it posted meanwhile
  // ("Canceled...") are handled before the last words.
  m_engine.reset();
  m_loop.HandlePending();
  m_loop.Close();
  const int status = session.Close();
  m_session = nullptr;
  return status;
}

intptr_t CPosixFlashPlatform::Handle(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  if (!m_session) return 0;
  switch (msg) {
    case kEventMsg:
      m_session->OnEvent(reinterpret_cast<const char*>(wParam), static_cast<long>(lParam));
      break;
    case kInProcessMsg:
      if (wParam == 1) m_cancel = 0;  // as the serial view does when a transfer starts
      break;
    case kBoxMsg: {
      const auto* box = reinterpret_cast<const SShownBox*>(wParam);
      m_session->OnBox(box->text, box->caption ? box->caption : "");
      break;
    }
    case kTimerMsg:
      m_session->OnTimer(static_cast<unsigned>(wParam));
      break;
    case kStopMsg:
      if (!m_loopEnded) m_session->OnStopRequest();
      break;
    default:
      break;
  }
  return 0;
}

bool CPosixFlashPlatform::Arm(const std::string& image) {
  m_engine->ResetCancelEvent();
  m_cancel = 0;
  return m_engine->ReadyToTransfer(image.c_str()) != 0;
}

void CPosixFlashPlatform::RequestStop() { m_loop.Post(kStopMsg, 0, 0); }

bool CPosixFlashPlatform::IsPortOpen() { return m_engine && m_engine->IsConnectedComport(); }

void CPosixFlashPlatform::StopTransfer() {
  if (m_engine) m_engine->StopTransfer();
}

bool CPosixFlashPlatform::Cancel(unsigned waitMs) {
  m_cancel = 1;
  const bool confirmed = m_engine->WaitForCancelEvent(static_cast<int>(waitMs));
  if (confirmed) m_engine->ResetCancelEvent();
  m_cancel = 0;
  return confirmed;
}

void CPosixFlashPlatform::StartTimer(unsigned id, unsigned periodMs) { m_loop.SetTimer(id, periodMs); }

void CPosixFlashPlatform::StopTimer(unsigned id) { m_loop.KillTimer(id); }

double CPosixFlashPlatform::Now() { return CPosixTerminal::Now(); }

int64_t CPosixFlashPlatform::UnixTimeMs() { return CPosixTerminal::UnixTimeMs(); }

std::string CPosixFlashPlatform::LocalClock() { return CPosixTerminal::LocalClock(); }

void CPosixFlashPlatform::Write(Stream stream, const std::string& text) { CPosixTerminal::Write(stream, text); }

bool CPosixFlashPlatform::OutputIsConsole() { return CPosixTerminal::OutputIsConsole(); }

void CPosixFlashPlatform::EndLoop() {
  m_loopEnded = true;
  m_loop.Quit();
}
