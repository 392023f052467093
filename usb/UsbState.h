// UsbState.h - the process-wide USB state shared by the status thread, the download start and the view's timer.
//
// Each variable is only ever read or written whole; they are atomics so that the
// threads' plain stores and loads are well defined.
#pragma once

#include <atomic>
#include <cstdint>

enum : uint16_t {
  USB_STATE_IDLE = 0,       // set by the timer once it has handled a state
  USB_STATE_WAITING = 1,    // the status pipe cannot be opened (box absent)
  USB_STATE_CONNECTED = 2,  // pipe opened and the firmware answered
  USB_STATE_FIRMWARE = 3,   // the firmware version request failed; the monitor has ended
  USB_STATE_REQUESTED = 4,  // the Download command opened the image file
  USB_STATE_REPEAT = 5,     // the box reported the download's byte count with result 1
  USB_STATE_ERROR = 6,      // the box reported a failure; the error box was closed
};

enum : uint8_t {
  DOWNLOAD_KIND_NONE = 0,
  DOWNLOAD_KIND_PROGRAM = 2,
};

extern std::atomic<uint16_t> g_usbState;
extern std::atomic<uint16_t> g_stateMessageShown;
extern std::atomic<int32_t> g_connectedTicks;
extern std::atomic<uint8_t> g_downloadKind;
extern std::atomic<uint32_t> g_expectedSize;
