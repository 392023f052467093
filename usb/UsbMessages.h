// UsbMessages.h - window messages from the USB threads to the USB download view (all sent, wParam 0, lParam 0).
#pragma once

// The worker has written all data while the download kind is 2: start the end-of-data thread.
#define WM_USB_DATA_SENT (0x07FD)
// The end-of-data thread has sent request 7 (successfully or not).
#define WM_USB_END_SENT (0x07FE)
// The worker ends, whatever the outcome: clear the busy state.
#define WM_USB_DOWNLOAD_DONE (0x07FF)
