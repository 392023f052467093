#include "UsbThreads.h"

#include <windows.h>

#include "DownloadWorker.h"

namespace {

DWORD WINAPI WorkerProc(LPVOID param) { return DownloadWorker(static_cast<DownloadJob*>(param)); }

DWORD WINAPI EndOfDataProc(LPVOID param) { return EndOfDataThread(static_cast<DownloadJob*>(param)); }

}  // namespace

bool StartDownloadWorker(DownloadJob& job) {
  HANDLE h = CreateThread(nullptr, 0, WorkerProc, &job, 0, nullptr);
  if (!h) return false;
  ReleaseDownloadWorker(job);
  job.threadHandle = h;
  return true;
}

void ReleaseDownloadWorker(DownloadJob& job) {
  if (job.threadHandle) CloseHandle(static_cast<HANDLE>(job.threadHandle));
  job.threadHandle = nullptr;
}

bool StartEndOfDataThread(DownloadJob& job) {
  HANDLE h = CreateThread(nullptr, 0, EndOfDataProc, &job, 0, nullptr);
  if (!h) return false;
  CloseHandle(h);  // never waited on: the job's end-of-data counter tells the worker
  return true;
}
