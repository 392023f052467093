#include "UsbStatusTimer.h"

#include "DownloadJob.h"
#include "UsbDownloadView.h"
#include "UsbState.h"

void UsbStatusTimerStep(IUsbDownloadView& view, const DownloadJob& job) {
  view.ControlsToData();
  switch (g_usbState) {
    case USB_STATE_FIRMWARE:
      if (g_stateMessageShown == 0) {
        view.AddMessage("Check Firmware Version");
        g_stateMessageShown = 1;
      }
      break;
    case USB_STATE_CONNECTED:
      if (g_connectedTicks == 0) view.AddMessage("USB is connected");
      break;
    case USB_STATE_WAITING:
      if (g_stateMessageShown == 0) {
        view.AddMessage("Waiting");
        g_stateMessageShown = 1;
      }
      break;
    case USB_STATE_REPEAT:
      g_usbState = USB_STATE_IDLE;
      // A download holds the job: one worker per job, and the running download keeps
      // its kind, so that it still follows the flash.
      if (job.busy == 1) break;
      g_downloadKind = DOWNLOAD_KIND_NONE;
      view.RunDownloadCommand();
      break;
    case USB_STATE_ERROR:
      view.AddMessage("Not Ready");
      g_usbState = USB_STATE_IDLE;
      g_downloadKind = DOWNLOAD_KIND_NONE;
      break;
    default:
      g_usbState = USB_STATE_IDLE;
      break;
  }
  if (g_usbState == USB_STATE_CONNECTED) {
    if (g_connectedTicks < kConnectedTicks) ++g_connectedTicks;
    if (g_connectedTicks == kConnectedTicks) {
      g_connectedTicks = kConnectedTicks + 1;
      g_usbState = USB_STATE_IDLE;
      view.DataToControls();
      return;
    }
  }
  if (g_usbState == USB_STATE_WAITING) g_connectedTicks = 0;
  view.DataToControls();
}
