// UsbServices.h - the one place the USB view takes its transport and thread host from: the Win32 ones unless the program installed others.
//
// The program (or a test, or the dry-run build) installs its pair before it creates a
// USB view; a view keeps the pair it found at its creation. Both must outlive every USB
// thread started on them.
#pragma once

class IUsbThreadHost;
class IUsbTransport;

class CUsbServices {
 public:
  static IUsbTransport& Transport();
  static IUsbThreadHost& ThreadHost();
  // Installs a transport and a host; null for either restores the Win32 one.
  static void Install(IUsbTransport* transport, IUsbThreadHost* host);
};
