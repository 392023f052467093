#include "EndOfDataStep.h"

#include "StbCommands.h"
#include "StbDevice.h"
#include "UsbDownloadView.h"
#include "UsbMessages.h"

// The view as request 7 sees it: every call goes through while the step is attached,
// under the step's lock, and is dropped afterwards.
class CEndOfDataStep::Relay : public IUsbDownloadView {
 public:
  explicit Relay(CEndOfDataStep& step) : m_step(step) {}
  void AddMessage(const char* text) override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    if (m_step.m_view) m_step.m_view->AddMessage(text);
  }
  void SetBarPos(UsbProgressBar bar, int pos) override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    if (m_step.m_view) m_step.m_view->SetBarPos(bar, pos);
  }
  void SetBarText(UsbProgressBar bar, const char* text) override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    if (m_step.m_view) m_step.m_view->SetBarText(bar, text);
  }
  intptr_t SendViewMessage(unsigned int msg) override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    return m_step.m_view ? m_step.m_view->SendViewMessage(msg) : 0;
  }
  void RunDownloadCommand() override {}  // never asked of the end of data
  void ControlsToData() override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    if (m_step.m_view) m_step.m_view->ControlsToData();
  }
  void DataToControls() override {
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    if (m_step.m_view) m_step.m_view->DataToControls();
  }

 private:
  CEndOfDataStep& m_step;
};

CEndOfDataStep::CEndOfDataStep(IUsbTransport& transport, IUsbDownloadView& view)
    : m_transport(transport), m_view(&view) {}

void CEndOfDataStep::Run() {
  if (m_started.exchange(true)) return;
  Relay relay(*this);
  SendStbCommand(m_transport, relay, STB_REQ_END_OF_DATA, 0, nullptr);
  // Sent and marked finished under the lock: the worker either sees the step finished or
  // detaches it before the view hears anything more.
  std::lock_guard<std::mutex> lock(m_lock);
  if (m_view) m_view->SendViewMessage(WM_USB_END_SENT);
  m_finished = true;
}

bool CEndOfDataStep::Finished() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_finished;
}

bool CEndOfDataStep::Detach() {
  std::lock_guard<std::mutex> lock(m_lock);
  m_view = nullptr;
  return m_finished;
}
