// UsbTestState.h - puts the process-wide USB state back to its start values between tests.
#pragma once

#include "UsbState.h"

inline void ResetUsbState() {
  g_usbState = 0;
  g_stateMessageShown = 0;
  g_connectedTicks = 0;
  g_downloadKind = 0;
  g_expectedSize = 0;
}
