#include "PosixDownloadEngine.h"

#include "ManagerEvents.h"
#include "PosixMessageLoop.h"
#include "ReadyText.h"
#include "VelOldManagerProcessor.h"

CPosixDownloadEngine::CPosixDownloadEngine(CPosixMessageLoop& loop, unsigned int boxMsg, std::string lockFolder)
    : m_loop(loop),
      m_window(loop, boxMsg),
      m_services(loop, m_window),
      m_processor(new CVelOldManagerProcessor(&m_services)),
      m_port(loop, std::move(lockFolder)) {
  m_processor->SetPort(&m_port);
  m_port.SetProcessor(&m_services, m_processor.get());
}

CPosixDownloadEngine::~CPosixDownloadEngine() {
  // Stop the reader before the processor goes, so that no thread calls a deleted one.
  if (IsConnectedComport()) StopTransfer();
}

void CPosixDownloadEngine::SetParentInfo(unsigned int msgEvent, unsigned int msgInProcess, volatile int* cancel) {
  m_services.SetEventMessage(msgEvent);
  m_processor->SetParentInfo(&m_window, msgEvent, msgInProcess, cancel);
}

void CPosixDownloadEngine::SetComportInfo(const std::string& device, unsigned long baudRate) {
  m_port.SetDevice(device);
  m_services.SetBaudRate(baudRate);
}

int CPosixDownloadEngine::ReadyToTransfer(const char* path) {
  if (!path) return 0;
  int result = 1;
  if (!CPosixProcessorServices::CanOpen(path)) {
    const std::string text = std::string("CVelManager::ReadyToTransfer() - CreateFile(\"") + path + "\") Failed!";
    m_services.ShowMessageBox(text.c_str(), nullptr, box::kIconError);
    result = 0;
  }
  m_processor->SetTransferFile(path);
  m_port.StartMonitoring(9600);
  const std::string ready = FormatReadyText(path);
  m_processor->SendEventMsg(ready.c_str(), EVENT_MESSAGE);
  m_processor->SendInProcessMsg(0);
  return result;
}

int CPosixDownloadEngine::StopTransfer() {
  const int result = m_port.StopMonitoring();
  m_processor->ClearReceiveBuffer();
  m_processor->SetState(CVelOldManagerProcessor::kWaitSync);
  return result;
}

bool CPosixDownloadEngine::WaitForCancelEvent(int timeoutMs) {
  return m_loop.WaitFor([this] { return m_services.CancelSignalled(); }, timeoutMs);
}
