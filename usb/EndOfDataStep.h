// EndOfDataStep.h - request 7 of one download, run once on a thread of its own, that lets go of the view when the worker stops waiting for it.
//
// Ownership: shared (std::shared_ptr) by the job and every thread started on it, so a
// thread still blocked in request 7 after the worker gave up touches nothing freed. It
// reaches the view only while attached and under its lock; Detach waits for a call into
// the view in progress and cuts off the rest, after which the view may go. Detach also
// aborts a request 7 still in progress (the device handle is published under the lock
// while open), so a box that never answers it keeps neither the thread nor its handle,
// and a request 7 not yet sent is never sent. It never touches the job. The transport
// is lent and outlives every thread (the Win32 one is never destroyed).
#pragma once

#include <atomic>
#include <mutex>

#include "UsbTransport.h"

class IUsbDownloadView;

class CEndOfDataStep {
 public:
  CEndOfDataStep(IUsbTransport& transport, IUsbDownloadView& view);
  CEndOfDataStep(const CEndOfDataStep&) = delete;
  CEndOfDataStep& operator=(const CEndOfDataStep&) = delete;

  // Request 7 on a device handle of its own, then WM_USB_END_SENT to the view. Only the
  // first call does anything, so the view and the worker may both start it.
  void Run();
  bool Started() const { return m_started; }
  // WM_USB_END_SENT has been handled (or skipped after Detach).
  bool Finished() const;
  // Cuts the step off the view and aborts request 7 if it is still in progress; true
  // when the step had finished already.
  bool Detach();

 private:
  class Relay;
  class Link;

  IUsbTransport& m_transport;
  std::atomic<bool> m_started{false};
  mutable std::mutex m_lock;
  IUsbDownloadView* m_view;  // under m_lock; null once detached
  bool m_finished = false;   // under m_lock
  UsbHandle m_device = kInvalidUsbHandle;  // under m_lock: request 7's device handle while open
};
