#include "UsbServices.h"

#include <atomic>

#include "Win32UsbThreadHost.h"
#include "Win32UsbTransport.h"

namespace {
std::atomic<IUsbTransport*> g_transport{nullptr};
std::atomic<IUsbThreadHost*> g_host{nullptr};
}  // namespace

IUsbTransport& CUsbServices::Transport() {
  IUsbTransport* transport = g_transport.load();
  return transport ? *transport : CWin32UsbTransport::Instance();
}

IUsbThreadHost& CUsbServices::ThreadHost() {
  IUsbThreadHost* host = g_host.load();
  return host ? *host : CWin32UsbThreadHost::Instance();
}

void CUsbServices::Install(IUsbTransport* transport, IUsbThreadHost* host) {
  g_transport = transport;
  g_host = host;
}
