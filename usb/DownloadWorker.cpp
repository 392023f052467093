#include "DownloadWorker.h"

#include <cstring>
#include <memory>
#include <string>

#include "EndOfDataStep.h"

#include "StbCommands.h"
#include "StbDevice.h"
#include "UsbDownloadHeader.h"
#include "UsbDownloadView.h"
#include "UsbMessages.h"
#include "UsbState.h"
#include "UsbThreadHost.h"
#include "UsbTransport.h"

const char* const kEmptyImageText = "The image file is empty. Nothing to download.";
const char* const kImageEndedText = "The image file ended before all of it was sent.";
const char* const kFlashStalledText = "Settop does not finish writing the flash. Try again.";
const char* const kFlashNoStatusText = "Settop reports no flash progress. Try again.";
const char* const kEraseStalledText = "Settop has stopped erasing the flash. Try again.";
const char* const kWriteStalledText = "Settop has stopped writing the flash. Try again.";
const char* const kEndOfDataTimeoutText = "Settop did not confirm the end of data within 10 s.";
const char* const kUnansweredText = "Settop did not answer within 10 s. Try again.";
const char* const kNoDataTakenText = "Settop took no data within 10 s. Try again.";
const char* const kBoxGoneText = "Settop is not connected. Check the USB cable.";

namespace {

const char* const kFlashErrorTexts[] = {
    "Header CRC is not correct. Check File.",
    "Data CRC is not correct. Check File.",
    "Vendor ID is not correct. Check File.",
    "Product ID is not correct. Check File.",
    "H/W model is not mached. Check File.",
    "Can not find requested partition. Check File.",
    "Image size is too big. Check File.",
    "Can not erase target file on flash. Try again.",
    "Can not write file to flash. Try again.",
    "Unknown error.",
};

const char* const kRequestFailedText = "Requesting data transfer on PIPE03 failed!";
const char* const kWriteFailedText = "Writing PIPE03 failed!";

// Flash phases of the reply to request 1139.
enum : int { kPhaseComplete = 0, kPhaseErase = 1, kPhaseWrite = 2, kPhaseError = 3 };

// One device call of the worker under the call watch; unanswered tells whether it failed
// because its bound aborted it.
template <typename Call>
bool Watched(DownloadJob& job, UsbHandle handle, DeviceCall kind, bool* unanswered, Call call) {
  job.callWatch.Begin(handle, kind);
  const bool ok = call();
  const bool aborted = job.callWatch.End();
  *unanswered = !ok && aborted;
  return ok;
}

// Request 4 for the next count bytes; on failure the lines that say so.
bool AnnounceWrite(DownloadJob& job, IUsbDownloadView& view, UsbHandle device, uint32_t request, uint32_t count) {
  StbTransferDescriptor d = MakeTransferDescriptor(static_cast<uint16_t>(count));
  uint32_t returned = 0;
  bool unanswered = false;
  if (Watched(job, device, DeviceCall::kAnnounce, &unanswered, [&] {
        return job.transport.WriteRequest(device, request, kTransferDescriptorLength, d.bytes, &returned);
      }))
    return true;
  view.AddMessage(kRequestFailedText);
  if (unanswered) view.AddMessage(kUnansweredText);
  return false;
}

// Replies in a row without progress after which the worker gives up on this phase, and
// what it then tells the user.
unsigned int NoProgressLimit(int phase, const char** text) {
  switch (phase) {
    case kPhaseErase:
      *text = kEraseStalledText;
      return kFlashNoProgressPolls;
    case kPhaseWrite:
      *text = kWriteStalledText;
      return kFlashNoProgressPolls;
    default:
      *text = kFlashNoStatusText;
      return kFlashUnknownPhasePolls;
  }
}

// Polls the flash status every 200 ms until the box reports completion or an error, the
// request fails, or a bound is reached: erase and write may sit on one percentage for a
// long time, a phase without a meaning never progresses, and the whole has a limit too.
// True when the request failed.
bool FollowFlash(DownloadJob& job, IUsbDownloadView& view, UsbHandle device) {
  IUsbTransport& t = job.transport;
  int tracker = 1;
  unsigned char previous[2] = {0, 0};
  unsigned int still = 0;  // replies in a row that showed no progress, this one included
  for (unsigned int polls = 1;; ++polls) {
    // A reply the driver does not fill reads as an unknown phase, never as complete.
    unsigned char reply[2] = {0x7F, 0};
    uint32_t got = 0;
    bool unanswered = false;
    if (!Watched(job, device, DeviceCall::kFlashStatus, &unanswered,
                 [&] { return t.ReadRequest(device, STB_REQ_FLASH_STATUS, kFlashReplyLength, reply, &got); })) {
      job.running = 0;
      view.AddMessage("Failed communication Settop.");
      if (unanswered) view.AddMessage(kUnansweredText);
      return true;
    }
    int phase = static_cast<signed char>(reply[0]);
    int value = static_cast<signed char>(reply[1]);
    switch (phase) {
      case kPhaseComplete:
        view.AddMessage("Complete");
        tracker = 0;
        break;
      case kPhaseErase:
        if (tracker == 1) {
          view.AddMessage("Erase Flash");
          tracker = 2;
        }
        view.SetBarPos(UsbProgressBar::kErase, value);
        break;
      case kPhaseWrite:
        if (tracker == 2) {
          view.AddMessage("Writing in Flash");
          tracker = 3;
        }
        view.SetBarPos(UsbProgressBar::kWrite, value);
        break;
      case kPhaseError:
        tracker = 0;
        if (const char* text = FlashErrorText(value)) view.AddMessage(text);
        break;
      default:
        break;
    }
    job.host.Pause(kFlashPollMs, nullptr);
    if (tracker == 0) return false;

    const char* stalledText = nullptr;
    unsigned int limit = NoProgressLimit(phase, &stalledText);
    int previousPhase = static_cast<signed char>(previous[0]);
    bool known = phase == kPhaseErase || phase == kPhaseWrite;
    bool progressed = known ? std::memcmp(previous, reply, 2) != 0
                            : previousPhase == kPhaseErase || previousPhase == kPhaseWrite;
    still = (polls > 1 && !progressed) ? still + 1 : 1;
    std::memcpy(previous, reply, 2);
    if (still >= limit || polls >= kFlashMaxPolls) {
      job.running = 0;
      view.AddMessage(still >= limit ? stalledText : kFlashStalledText);
      return false;
    }
  }
}

}  // namespace

const char* FlashErrorText(int code) {
  if (code < 1 || code > 10) return nullptr;
  return kFlashErrorTexts[code - 1];
}

uint32_t DownloadPercent(uint32_t total, uint32_t imageSize) {
  if (imageSize == 0) return 0;
  return static_cast<uint32_t>(static_cast<double>(total) / static_cast<double>(imageSize) * 100.0);
}

int StartDownload(DownloadJob& job, IUsbDownloadView& view, const char* imagePath, uint32_t size) {
  if (size == 0) {
    // Nothing to stream, and no 100 % mark to measure it against.
    view.AddMessage(kEmptyImageText);
    return 0;
  }
  std::string name = FileNameOfPath(imagePath);
  UsbDownloadHeader header = BuildDownloadHeader(name.c_str(), size);
  if (SendStbRequest(job.transport, view, STB_REQ_DOWNLOAD_HEADER, kDownloadHeaderLength, &header) == 0) return 0;

  view.SetBarPos(UsbProgressBar::kDownload, 0);
  view.SetBarText(UsbProgressBar::kDownload, "Downloading");
  // A worker is still active, or holds the job while its flag is 0 (opening, or waiting
  // for the end of data): the header went all the same, the job stays that worker's.
  if (job.running == 1 || job.busy == 1) return 0;

  job.busy = 1;
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  g_expectedSize = size;
  job.imageSize = size;
  job.view = &view;
  job.dataRequest = STB_REQ_DATA_TRANSFER;
  job.imagePath = imagePath;
  return 1;
}

void EndDownloadJob(DownloadJob& job) { job.busy = 0; }

uint32_t DownloadWorker(DownloadJob* job) {
  job->running = 0;
  const std::string path = job->imagePath;
  IUsbDownloadView& view = *job->view;
  IUsbTransport& t = job->transport;
  IUsbThreadHost& host = job->host;
  const uint32_t imageSize = job->imageSize;
  const uint32_t dataRequest = job->dataRequest;

  ImageFileHandle file = host.OpenImage(path.c_str());
  if (file == kNoImageFile) {
    view.AddMessage("Can't open!!");
    view.SendViewMessage(WM_USB_DOWNLOAD_DONE);
    return 0;
  }
  UsbOpenFailure why = UsbOpenFailure::kNone;
  UsbHandle pipe = t.OpenStbPipe(kDataPipeName, &why);
  if (pipe == kInvalidUsbHandle) {
    host.CloseImage(file);  // the file is shared with nobody: keep it free for the next try
    view.AddMessage("Open driver failed! Can't write to PIPE03.");
    if (why == UsbOpenFailure::kPathTooLong) view.AddMessage(kPathTooLongText);
    view.SendViewMessage(WM_USB_DOWNLOAD_DONE);
    return 0;
  }
  UsbHandle device = t.OpenStbDevice(&why);
  if (device == kInvalidUsbHandle) {
    t.Close(pipe);
    host.CloseImage(file);
    view.AddMessage("Open device handle failed! Can't write to PIPE03.");
    if (why == UsbOpenFailure::kPathTooLong) view.AddMessage(kPathTooLongText);
    view.SendViewMessage(WM_USB_DOWNLOAD_DONE);
    return 0;
  }

  job->running = 1;
  unsigned char buffer[kDownloadChunkSize];
  view.AddMessage("Download Start");
  uint32_t total = 0;
  uint32_t percent = 0;
  uint32_t lastWritten = 0;
  bool callFailed = false;  // a request or write to the box failed

  for (;;) {
    uint32_t n = 0;
    if (!host.ReadImage(file, buffer, kDownloadChunkSize, &n) || n > kDownloadChunkSize) n = 0;
    uint32_t sent = 0;
    if (!AnnounceWrite(*job, view, device, dataRequest, n)) {
      job->running = 0;
      callFailed = true;
    } else {
      for (;;) {
        uint32_t written = 0;
        bool unanswered = false;
        if (!Watched(*job, pipe, DeviceCall::kPipeWrite, &unanswered,
                     [&] { return t.WritePipe(pipe, buffer + sent, n - sent, &written); })) {
          t.ResetPipe(pipe);
          view.AddMessage(kWriteFailedText);
          if (unanswered) view.AddMessage(kNoDataTakenText);
          job->running = 0;
          callFailed = true;
          break;
        }
        if (written > n - sent) written = n - sent;  // never count more than was offered
        lastWritten = written;
        total += written;
        percent = DownloadPercent(total, imageSize);
        view.SetBarPos(UsbProgressBar::kDownload, static_cast<int>(percent));
        sent += written;
        if (sent >= n) break;
        if (written == 0) {
          // The driver takes nothing of what is left: asking again would never end.
          t.ResetPipe(pipe);
          view.AddMessage(kWriteFailedText);
          job->running = 0;
          callFailed = true;
          break;
        }
        if (!AnnounceWrite(*job, view, device, dataRequest, n - sent)) {
          job->running = 0;
          callFailed = true;
          break;
        }
      }
    }
    if (total >= imageSize || lastWritten == 0 || job->running != 1) break;
  }
  if (job->running == 1 && total < imageSize) view.AddMessage(kImageEndedText);

  std::shared_ptr<CEndOfDataStep> endOfData;
  if (percent >= 100 && g_downloadKind == DOWNLOAD_KIND_PROGRAM) {
    endOfData = std::make_shared<CEndOfDataStep>(t, view);
    job->endOfData = endOfData;
    if (view.SendViewMessage(WM_USB_DATA_SENT) == 0) {
      // The view did not start the end of data: start it here. Run() is once only, so a
      // view that started it all the same costs nothing.
      if (!host.StartThread([endOfData] { EndOfDataThread(endOfData.get()); })) endOfData->Run();
    }
    callFailed = FollowFlash(*job, view, device);
  } else {
    view.SetBarPos(UsbProgressBar::kDownload, 0);
  }

  t.Close(device);
  t.Close(pipe);
  job->running = 0;
  host.CloseImage(file);
  if (callFailed) {
    // Say so when the cause is a box that has gone (unplugged, or its cable pulled).
    const UsbHandle probe = t.OpenStbDevice(nullptr);
    if (probe == kInvalidUsbHandle)
      view.AddMessage(kBoxGoneText);
    else
      t.Close(probe);
  }
  if (endOfData) {
    // The view may go once it has WM_USB_DOWNLOAD_DONE. An end-of-data thread that is
    // still blocked in request 7 after the bound is cut off the view first; it holds its
    // own share of the step and never the job, so it may end whenever it likes.
    for (unsigned int waited = 0; !endOfData->Finished() && waited < kEndOfDataWaitMs; waited += kEndOfDataSliceMs)
      host.Pause(kEndOfDataSliceMs, nullptr);
    if (!endOfData->Detach()) view.AddMessage(kEndOfDataTimeoutText);
    job->endOfData.reset();
  }
  view.SendViewMessage(WM_USB_DOWNLOAD_DONE);
  return total;
}

uint32_t EndOfDataThread(CEndOfDataStep* step) {
  step->Run();
  return 0;
}
