// UsbStatusThread.h - runs the status monitor for the USB view on a thread of its own, and stops it.
//
// Ownership: the parameter block is shared by this object and the thread; whichever
// lets go last frees it, so a thread that ends after the view (for instance while the
// error box is still open) touches nothing freed. The transport and the host are lent
// and must outlive the thread (the Win32 ones are never destroyed).
// Shutdown: Stop clears the running flag, ends a read of the status pipe or a firmware
// request in progress (cancelling the thread's synchronous I/O as well) and waits at most
// the given time. The thread takes a call ended so for the stop: it resets no pipe and
// leaves g_usbState as it was.
#pragma once

#include <windows.h>

#include <memory>

#include "StatusParams.h"

class CUsbStatusThread {
 public:
  static constexpr DWORD kStopTimeoutMs = 5000;

  CUsbStatusThread(IUsbTransport& transport, IUsbThreadHost& host);
  // Stops a running thread (Stop with the default time).
  ~CUsbStatusThread();
  CUsbStatusThread(const CUsbStatusThread&) = delete;
  CUsbStatusThread& operator=(const CUsbStatusThread&) = delete;

  // Fills the block (owner, read length 16, pipe "PIPE00") and starts the thread; false
  // if it runs already or cannot be started.
  bool Start(IUsbDownloadView* owner);
  // True when the thread has ended within timeoutMs (or was not running).
  bool Stop(DWORD timeoutMs = kStopTimeoutMs);
  bool IsRunning() const;
  StatusParams& Params() { return *m_params; }

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);

  IUsbTransport& m_transport;
  IUsbThreadHost& m_host;
  std::shared_ptr<StatusParams> m_params;
  HANDLE m_hThread = nullptr;
};
