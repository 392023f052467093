// DownloadWorker.h - one USB download: the header and arming of the job, the worker that streams the image and follows the flash, the end of data.
#pragma once

#include <cstdint>

#include "DownloadJob.h"

class IUsbDownloadView;

constexpr uint32_t kDownloadChunkSize = 4096;
constexpr unsigned int kFlashPollMs = 200;
// Replies in a row with a phase that means nothing, after which the worker gives up (60 s).
constexpr unsigned int kFlashUnknownPhasePolls = 300;
// Identical erase or write replies in a row, after which the worker gives up (10 min): a
// box that is still working its flash moves its percentage long before that.
constexpr unsigned int kFlashNoProgressPolls = 3000;
// Flash status requests of one download at most (30 min).
constexpr unsigned int kFlashMaxPolls = 9000;
// How long the worker waits for the end-of-data thread once the polling is over, and
// the slices it waits in.
constexpr unsigned int kEndOfDataWaitMs = 10000;
constexpr unsigned int kEndOfDataSliceMs = 50;

extern const char* const kEmptyImageText;
extern const char* const kImageEndedText;
extern const char* const kFlashStalledText;
extern const char* const kFlashNoStatusText;
extern const char* const kEraseStalledText;
extern const char* const kWriteStalledText;
extern const char* const kEndOfDataTimeoutText;
// Added after a call's own failure line when the call bound (DeviceCallWatch.h) ended it:
// requests 4 and 1139, and the PIPE03 write.
extern const char* const kUnansweredText;
extern const char* const kNoDataTakenText;
// Added after a failed request or write when the box cannot be found any more.
extern const char* const kBoxGoneText;

// Text of a phase-3 error code, or null for codes without one (0, above 10, negative).
const char* FlashErrorText(int code);
// total / imageSize * 100 in double precision, truncated; 0 for an empty image.
uint32_t DownloadPercent(uint32_t total, uint32_t imageSize);

// Run by the Download command while the image file is open: sends the header for the
// file at imagePath of length size and arms the job, which is then busy. 1 when the
// header was accepted and the job is armed, 0 otherwise (an empty image is refused
// before the header; a job that a worker still holds after it).
int StartDownload(DownloadJob& job, IUsbDownloadView& view, const char* imagePath, uint32_t size);

// The view's answer to WM_USB_DOWNLOAD_DONE, and its way back when no worker could be
// started: the job may take the next download.
void EndDownloadJob(DownloadJob& job);

// The worker thread's procedure; returns the bytes written to the data pipe.
uint32_t DownloadWorker(DownloadJob* job);

// The end-of-data thread's procedure: request 7, then WM_USB_END_SENT (step->Run()).
// Started by the view on WM_USB_DATA_SENT (StartEndOfDataThread), or by the worker when
// the view answers 0.
uint32_t EndOfDataThread(CEndOfDataStep* step);
