// UsbThreads.h - starts the download worker and the end-of-data thread on threads of their own (Win32).
//
// Both run on the view's DownloadJob, which the view keeps until the worker has sent
// WM_USB_DOWNLOAD_DONE; the worker sends that only after the end-of-data thread is done.
#pragma once

#include "DownloadJob.h"

// Starts DownloadWorker on job and stores its thread handle in the job (closing the
// handle of an earlier worker). False if the thread cannot be started.
bool StartDownloadWorker(DownloadJob& job);
// Closes the stored worker handle (the view's destructor).
void ReleaseDownloadWorker(DownloadJob& job);
// Starts EndOfDataThread on job; the view answers WM_USB_DATA_SENT with the result.
bool StartEndOfDataThread(DownloadJob& job);
