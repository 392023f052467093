// UsbThreads.h - starts the download worker and the end-of-data thread on threads of their own (Win32).
//
// The worker runs on the view's DownloadJob, which the view keeps until the worker has
// sent WM_USB_DOWNLOAD_DONE. The end-of-data thread holds only its own share of the
// job's end-of-data step, never the job.
#pragma once

#include "DownloadJob.h"

// Starts DownloadWorker on job and stores its thread handle in the job (closing the
// handle of an earlier worker). False if the thread cannot be started.
bool StartDownloadWorker(DownloadJob& job);
// Closes the stored worker handle (the view's destructor).
void ReleaseDownloadWorker(DownloadJob& job);
// The view's answer to WM_USB_DATA_SENT: starts EndOfDataThread on the job's end-of-data
// step. False if there is no step or no thread could start (the worker then runs it).
bool StartEndOfDataThread(DownloadJob& job);
