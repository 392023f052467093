// UsbDownloadView.h - the USB download view as the download, the end-of-data step and the status timer see it.
//
// The worker and the end-of-data thread call it from their own threads; an
// implementation forwards to the user-interface thread synchronously (SendMessage),
// so that thread must keep handling messages while a download runs.
#pragma once

#include <cstdint>

enum class UsbProgressBar { kDownload, kErase, kWrite };

class IUsbDownloadView {
 public:
  virtual ~IUsbDownloadView() = default;

  // Appends one line to the message list and selects it.
  virtual void AddMessage(const char* text) = 0;
  // SetPos of one of the three progress windows.
  virtual void SetBarPos(UsbProgressBar bar, int pos) = 0;
  // Window text of one of the progress windows (not drawn).
  virtual void SetBarText(UsbProgressBar bar, const char* text) = 0;
  // Sends one of the WM_USB_ messages (UsbMessages.h) with wParam 0 and lParam 0 and
  // returns the view's answer. The answer to WM_USB_DATA_SENT is non-zero when the view
  // has started the end-of-data thread on the job (StartEndOfDataThread); on 0 the worker
  // starts it itself.
  virtual intptr_t SendViewMessage(unsigned int msg) = 0;
  // The Download command, exactly as a press of the Download button runs it.
  virtual void RunDownloadCommand() = 0;
  // UpdateData(TRUE): the controls' contents into the view's data.
  virtual void ControlsToData() = 0;
  // UpdateData(FALSE): the view's data into the controls.
  virtual void DataToControls() = 0;
};
