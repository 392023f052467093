// DeviceCallWatch.h - the download worker's device call in progress, aborted when the box leaves it unanswered past its bound; the view's 500 ms timer keeps the time.
//
// Threads: the worker marks each of its device calls (request 4, the PIPE03 write,
// request 1139) with Begin and End; the view's timer calls Tick on the user-interface
// thread. A call aborted through IUsbTransport::AbortTransfer fails, and the worker ends
// the download with the call's own failure line (which names the request) and one that
// says the box did not answer within 10 s. The abort happens under the watch's lock, and
// End takes the lock before the worker closes or reuses the handle, so no handle is
// aborted after its close. Nothing here waits: Tick and End hold the lock for a few
// instructions and an abort that does not block.
#pragma once

#include <mutex>

#include "UsbTransport.h"

class IUsbDownloadView;

// Bounds of the worker's device calls, in ticks of the view's 500 ms timer.
constexpr unsigned int kDeviceCallBoundTicks = 20;    // 10 s; the abort comes within the next tick
constexpr unsigned int kDeviceCallReleaseTicks = 10;  // 5 s after the abort: the driver keeps the call

// Told once when the driver does not give an aborted call back.
extern const char* const kDriverKeepsCallText;

enum class DeviceCall { kNone, kAnnounce, kPipeWrite, kFlashStatus };

class CDeviceCallWatch {
 public:
  // The worker is about to issue call on handle.
  void Begin(UsbHandle handle, DeviceCall call);
  // The call came back; true when its bound aborted it.
  bool End();
  // One tick of the view's timer: a call seen on more than kDeviceCallBoundTicks ticks
  // is aborted, again on every later tick until it comes back (an abort that came just
  // before the driver took the call is not lost); kDeviceCallReleaseTicks ticks after
  // the first abort the view gets kDriverKeepsCallText, once.
  void Tick(IUsbTransport& transport, IUsbDownloadView& view);

 private:
  std::mutex m_lock;
  UsbHandle m_handle = kInvalidUsbHandle;  // under m_lock
  DeviceCall m_call = DeviceCall::kNone;   // under m_lock
  unsigned int m_ticks = 0;                // under m_lock: ticks that saw the call
  bool m_aborted = false;                  // under m_lock
};
