#include "DeviceCallWatch.h"

#include "UsbDownloadView.h"

const char* const kDriverKeepsCallText = "The USB driver holds the request. Unplug the Settop.";

void CDeviceCallWatch::Begin(UsbHandle handle, DeviceCall call) {
  std::lock_guard<std::mutex> lock(m_lock);
  m_handle = handle;
  m_call = call;
  m_ticks = 0;
  m_aborted = false;
}

bool CDeviceCallWatch::End() {
  std::lock_guard<std::mutex> lock(m_lock);
  const bool aborted = m_aborted;
  m_handle = kInvalidUsbHandle;
  m_call = DeviceCall::kNone;
  m_ticks = 0;
  m_aborted = false;
  return aborted;
}

void CDeviceCallWatch::Tick(IUsbTransport& transport, IUsbDownloadView& view) {
  bool tell = false;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_call == DeviceCall::kNone) return;
    if (++m_ticks <= kDeviceCallBoundTicks) return;
    m_aborted = true;
    transport.AbortTransfer(m_handle);
    tell = m_ticks == kDeviceCallBoundTicks + 1 + kDeviceCallReleaseTicks;
  }
  if (tell) view.AddMessage(kDriverKeepsCallText);
}
