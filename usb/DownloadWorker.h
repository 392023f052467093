// DownloadWorker.h - one USB download: the header and arming of the job, the worker that streams the image and follows the flash, the end of data.
#pragma once

#include <cstdint>

#include "DownloadJob.h"

class IUsbDownloadView;

constexpr uint32_t kDownloadChunkSize = 4096;
constexpr unsigned int kFlashPollMs = 200;
// Flash status replies in a row that change nothing, after which the worker gives up (60 s).
constexpr unsigned int kFlashStallPolls = 300;
// Flash status requests of one download at most (30 min).
constexpr unsigned int kFlashMaxPolls = 9000;

extern const char* const kEmptyImageText;
extern const char* const kImageEndedText;
extern const char* const kFlashStalledText;

// Text of a phase-3 error code, or null for codes without one (0, above 10, negative).
const char* FlashErrorText(int code);
// total / imageSize * 100 in double precision, truncated; 0 for an empty image.
uint32_t DownloadPercent(uint32_t total, uint32_t imageSize);

// Run by the Download command while the image file is open: sends the header for the
// file at imagePath of length size and arms the job. 1 when the header was accepted and
// the job is armed, 0 otherwise (an empty image is refused before the header).
int StartDownload(DownloadJob& job, IUsbDownloadView& view, const char* imagePath, uint32_t size);

// The worker thread's procedure; returns the bytes written to the data pipe.
uint32_t DownloadWorker(DownloadJob* job);

// The end-of-data thread's procedure: request 7, then WM_USB_END_SENT. Started by the
// view on WM_USB_DATA_SENT with the view's job.
uint32_t EndOfDataThread(DownloadJob* job);
