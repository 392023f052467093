#include "UsbStatusThread.h"

#include "StatusMonitor.h"
#include "StbDevice.h"

namespace {

constexpr DWORD kStopSliceMs = 50;

}  // namespace

CUsbStatusThread::CUsbStatusThread(IUsbTransport& transport, IUsbThreadHost& host)
    : m_transport(transport), m_host(host), m_params(std::make_shared<StatusParams>(transport, host)) {}

CUsbStatusThread::~CUsbStatusThread() { Stop(); }

DWORD WINAPI CUsbStatusThread::ThreadProc(LPVOID param) {
  std::unique_ptr<std::shared_ptr<StatusParams>> block(static_cast<std::shared_ptr<StatusParams>*>(param));
  return StatusMonitor(block->get());
}

bool CUsbStatusThread::Start(IUsbDownloadView* owner) {
  if (m_hThread) return false;
  // A block of the thread's own: one left by a thread that did not stop in time stays its.
  m_params = std::make_shared<StatusParams>(m_transport, m_host);
  m_params->view = owner;
  m_params->readLength = 16;
  m_params->pipeName = kStatusPipeName;
  m_params->running = 1;  // before the thread starts, so a Stop right after Start counts
  auto* ref = new std::shared_ptr<StatusParams>(m_params);
  m_hThread = CreateThread(nullptr, 0, ThreadProc, ref, 0, nullptr);
  if (!m_hThread) {
    delete ref;
    m_params->running = 0;
    return false;
  }
  m_params->threadHandle = m_hThread;
  return true;
}

bool CUsbStatusThread::Stop(DWORD timeoutMs) {
  if (!m_hThread) return true;
  DWORD start = GetTickCount();
  bool ended = false;
  for (;;) {
    RequestStatusMonitorStop(*m_params);
    CancelSynchronousIo(m_hThread);
    if (WaitForSingleObject(m_hThread, kStopSliceMs) == WAIT_OBJECT_0) {
      ended = true;
      break;
    }
    if (GetTickCount() - start >= timeoutMs) break;
  }
  CloseHandle(m_hThread);
  m_hThread = nullptr;
  m_params->threadHandle = nullptr;
  return ended;
}

bool CUsbStatusThread::IsRunning() const {
  return m_hThread && WaitForSingleObject(m_hThread, 0) == WAIT_TIMEOUT;
}
