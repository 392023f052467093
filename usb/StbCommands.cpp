#include "StbCommands.h"

#include "UsbDownloadView.h"
#include "UsbTransport.h"

const char* const kPathTooLongText = "USB device path is longer than 255 characters!";

namespace {

uint32_t SendWriteRequest(IUsbTransport& transport, IUsbDownloadView& view, uint32_t request, uint32_t length,
                          const void* data, const char* requestFailedText, bool refresh) {
  uint32_t count = 0;
  UsbOpenFailure why = UsbOpenFailure::kNone;
  UsbHandle device = transport.OpenStbDevice(&why);
  if (device == kInvalidUsbHandle) {
    view.AddMessage("Open device handle failed!");
    if (why == UsbOpenFailure::kPathTooLong) view.AddMessage(kPathTooLongText);
    if (refresh) view.DataToControls();
  }
  // A request without a device fails like one the driver refuses: both lines show.
  if (device == kInvalidUsbHandle || !transport.WriteRequest(device, request, length, data, &count)) {
    count = 0;
    view.AddMessage(requestFailedText);
    if (refresh) view.DataToControls();
  }
  if (device != kInvalidUsbHandle) transport.Close(device);
  return count;
}

}  // namespace

uint32_t SendStbRequest(IUsbTransport& transport, IUsbDownloadView& view, uint32_t request, uint32_t length,
                        const void* data) {
  return SendWriteRequest(transport, view, request, length, data, "USB is not connect!", true);
}

uint32_t SendStbCommand(IUsbTransport& transport, IUsbDownloadView& view, uint32_t request, uint32_t length,
                        const void* data) {
  return SendWriteRequest(transport, view, request, length, data, "STB not connect!", false);
}
