#include "UsbThreads.h"

#include <windows.h>

#include "DownloadWorker.h"
#include "UsbThreadHost.h"

namespace {

DWORD WINAPI WorkerProc(LPVOID param) { return DownloadWorker(static_cast<DownloadJob*>(param)); }


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
  std::shared_ptr<CEndOfDataStep> step = job.endOfData;  // copied here, while the worker waits for the answer
  if (!step) return false;
  return job.host.StartThread([step] { EndOfDataThread(step.get()); });
}
