#include "StatusMonitor.h"

#include <new>

#include "StbDevice.h"
#include "UsbState.h"
#include "UsbThreadHost.h"

const char* const kProgramDownloadErrorText = "Program Download Error";

namespace {

constexpr unsigned int kMbOk = 0;  // MB_OK

void PublishHandles(StatusParams& p, UsbHandle pipe, UsbHandle device) {
  std::lock_guard<std::mutex> lock(p.handleLock);
  p.pipe = pipe;
  p.device = device;
}

void CloseHandles(StatusParams& p, UsbHandle pipe, UsbHandle device) {
  PublishHandles(p, kInvalidUsbHandle, kInvalidUsbHandle);  // no stop may abort them once they are being closed
  p.transport.Close(pipe);
  if (device != kInvalidUsbHandle) p.transport.Close(device);
}

// A failure seen after the running flag was cleared is the stop cutting a call short,
// not something the box did: it leaves no state and sends the box nothing.
bool Stopping(const StatusParams& p) { return p.running != 1; }

}  // namespace

void EvaluateStatusRecord(const unsigned char* record, IUsbThreadHost& host) {
  uint32_t count = (uint32_t(record[0]) << 24) | (uint32_t(record[1]) << 16) | (uint32_t(record[2]) << 8) |
                   uint32_t(record[3]);
  unsigned char result = record[4];
  uint8_t kind = g_downloadKind;
  if (kind == DOWNLOAD_KIND_PROGRAM) {
    if (count == g_expectedSize && result == 1) {
      g_usbState = USB_STATE_REPEAT;
    } else if (result == 2) {
      host.ShowMessageBox(kProgramDownloadErrorText, kMbOk);
      g_usbState = USB_STATE_ERROR;
    }
  } else if (kind != DOWNLOAD_KIND_NONE) {
    g_downloadKind = DOWNLOAD_KIND_NONE;
  }
}

uint32_t StatusMonitor(StatusParams* params) {
  StatusParams& p = *params;
  IUsbTransport& t = p.transport;
  // The running flag is the starter's to set: a stop that came before this thread first
  // ran stays a stop.
  p.readBuffer = new (std::nothrow) unsigned char[p.readLength + 16];
  if (!p.readBuffer) {
    p.running = 0;
    return 0;
  }
  while (p.running == 1) {
    p.host.Pause(kStatusCycleMs, &p.running);
    if (p.running != 1) break;

    UsbHandle pipe = t.OpenStbPipe(p.pipeName.c_str(), nullptr);
    if (pipe == kInvalidUsbHandle) {
      if (Stopping(p)) break;
      g_usbState = USB_STATE_WAITING;
      g_connectedTicks = 0;
      continue;
    }
    PublishHandles(p, pipe, kInvalidUsbHandle);
    UsbHandle device = t.OpenStbDevice(nullptr);
    PublishHandles(p, pipe, device);
    // A stop that came before the device handle was published could not abort its request.
    if (Stopping(p)) {
      CloseHandles(p, pipe, device);
      break;
    }

    unsigned char version = 0;
    uint32_t got = 0;
    if (device == kInvalidUsbHandle ||
        !t.ReadRequest(device, STB_REQ_FIRMWARE_VERSION, kFirmwareReplyLength, &version, &got)) {
      CloseHandles(p, pipe, device);
      if (!Stopping(p)) g_usbState = USB_STATE_FIRMWARE;
      break;  // the monitor does not run again for this view
    }
    g_usbState = USB_STATE_CONNECTED;

    while (p.running == 1) {
      uint32_t n = 0;
      if (!t.ReadPipe(pipe, p.readBuffer, p.readLength, &n)) {
        if (!Stopping(p)) t.ResetPipe(pipe);
        break;
      }
      if (n < kMinStatusRecord || n > p.readLength) break;
      EvaluateStatusRecord(p.readBuffer, p.host);
    }
    CloseHandles(p, pipe, device);
  }
  delete[] p.readBuffer;
  p.readBuffer = nullptr;
  p.running = 0;
  return 0;
}

void RequestStatusMonitorStop(StatusParams& params) {
  params.running = 0;  // first, so the thread takes the aborted call for the stop it is
  std::lock_guard<std::mutex> lock(params.handleLock);
  if (params.pipe != kInvalidUsbHandle) params.transport.AbortTransfer(params.pipe);
  if (params.device != kInvalidUsbHandle) params.transport.AbortTransfer(params.device);
}
