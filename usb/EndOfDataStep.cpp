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

// The transport as request 7 uses it: the device handle is published while it is open,
// and a step already detached sends nothing.
class CEndOfDataStep::Link : public IUsbTransport {
 public:
  explicit Link(CEndOfDataStep& step) : m_step(step), m_t(step.m_transport) {}
  UsbHandle OpenStbDevice(UsbOpenFailure* why) override {
    const UsbHandle h = m_t.OpenStbDevice(why);
    std::lock_guard<std::mutex> lock(m_step.m_lock);
    m_step.m_device = h;
    return h;
  }
  UsbHandle OpenStbPipe(const char* pipeName, UsbOpenFailure* why) override { return m_t.OpenStbPipe(pipeName, why); }
  void Close(UsbHandle handle) override {
    {
      std::lock_guard<std::mutex> lock(m_step.m_lock);
      if (handle == m_step.m_device) m_step.m_device = kInvalidUsbHandle;
    }
    m_t.Close(handle);
  }
  bool WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                    uint32_t* bytesReturned) override {
    {
      std::lock_guard<std::mutex> lock(m_step.m_lock);
      if (!m_step.m_view) {  // the worker has given up on it: too late to tell the box
        if (bytesReturned) *bytesReturned = 0;
        return false;
      }
    }
    return m_t.WriteRequest(device, request, length, data, bytesReturned);
  }
  bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data, uint32_t* bytesReturned) override {
    return m_t.ReadRequest(device, request, length, data, bytesReturned);
  }
  void ResetPipe(UsbHandle pipe) override { m_t.ResetPipe(pipe); }
  bool ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) override {
    return m_t.ReadPipe(pipe, buffer, length, got);
  }
  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override {
    return m_t.WritePipe(pipe, data, length, written);
  }
  void AbortTransfer(UsbHandle handle) override { m_t.AbortTransfer(handle); }

 private:
  CEndOfDataStep& m_step;
  IUsbTransport& m_t;
};

CEndOfDataStep::CEndOfDataStep(IUsbTransport& transport, IUsbDownloadView& view)
    : m_transport(transport), m_view(&view) {}

void CEndOfDataStep::Run() {
  if (m_started.exchange(true)) return;
  Relay relay(*this);
  Link link(*this);
  SendStbCommand(link, relay, STB_REQ_END_OF_DATA, 0, nullptr);
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
  if (!m_finished && m_device != kInvalidUsbHandle) m_transport.AbortTransfer(m_device);
  return m_finished;
}
