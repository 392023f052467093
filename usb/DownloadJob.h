// DownloadJob.h - the download worker's parameter block; one lives in the USB download view for the view's whole life.
//
// StartDownload fills it before the worker starts; afterwards only the running flag, the
// end-of-data step and the call watch change. One worker at a time: StartDownload takes
// the job (busy) and the view gives it back (EndDownloadJob) once it has handled the
// worker's WM_USB_DOWNLOAD_DONE, after which the worker touches the job no more. The
// transport and the host are lent for the job's life and must outlive every thread
// started on it. Threads other than the worker never keep a pointer to the job: the
// end-of-data thread holds its own share of the step.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "DeviceCallWatch.h"
#include "EndOfDataStep.h"

class IUsbDownloadView;
class IUsbThreadHost;
class IUsbTransport;

struct DownloadJob {
  DownloadJob(IUsbTransport& transport, IUsbThreadHost& host) : transport(transport), host(host) {}
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  void* threadHandle = nullptr;          // the running worker's thread handle, stored by its starter
  IUsbDownloadView* view = nullptr;      // receives texts, progress and messages
  std::atomic<unsigned char> running{0};  // 1 while the worker streams or polls
  // 1 from StartDownload's arming until the view has handled the worker's
  // WM_USB_DOWNLOAD_DONE: the job then belongs to that download alone.
  std::atomic<unsigned char> busy{0};
  uint32_t imageSize = 0;                // the 100 % mark of the download progress
  uint32_t dataRequest = 0;              // request sent before every write: STB_REQ_DATA_TRANSFER
  std::string imagePath;                 // full path of the image file

  IUsbTransport& transport;
  IUsbThreadHost& host;
  // The end of data of the download in progress: set by the worker just before
  // WM_USB_DATA_SENT, so the view's handler can start it (StartEndOfDataThread); cleared
  // by the worker before WM_USB_DOWNLOAD_DONE.
  std::shared_ptr<CEndOfDataStep> endOfData;
  // The worker's device call in progress; the view's timer ticks it.
  CDeviceCallWatch callWatch;
};
