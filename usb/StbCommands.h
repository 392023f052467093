// StbCommands.h - the view's two one-shot write requests on a device handle of their own, with their failure lines.
#pragma once

#include <cstdint>

class IUsbDownloadView;
class IUsbTransport;

// Line added after the open failure when the interface path does not fit 255 characters.
extern const char* const kPathTooLongText;

// Sends one IOCTL_STB_WRITE_REQUEST. On failure adds "Open device handle failed!" (no
// device) and "USB is not connect!" (request failed) to the message list, each followed
// by a refresh of the controls. Returns the driver's byte count (0 on failure).
uint32_t SendStbRequest(IUsbTransport& transport, IUsbDownloadView& view, uint32_t request, uint32_t length,
                        const void* data);

// The same with "Open device handle failed!" and "STB not connect!" and no refresh.
uint32_t SendStbCommand(IUsbTransport& transport, IUsbDownloadView& view, uint32_t request, uint32_t length,
                        const void* data);
