// Win32UsbTransport.h - the USB transport over the box's driver: SetupAPI discovery, CreateFile, DeviceIoControl, ReadFile, WriteFile.
//
// Holds no state: every call opens and uses handles of its own, so any number of
// threads may use the one process-wide instance at once.
#pragma once

#include <windows.h>

#include <memory>

#include "DeviceInterfaceList.h"
#include "StbDevice.h"
#include "UsbTransport.h"

// The device interface class the box's driver publishes.
extern const GUID GUID_STB_INTERFACE_CLASS;  // {21817EDD-EDAD-48E7-9BCF-990370C5401F}

class CWin32UsbTransport : public IUsbTransport {
 public:
  CWin32UsbTransport() = default;
  ~CWin32UsbTransport() override = default;
  // The process-wide transport; never destroyed, so threads ending late may still use it.
  static CWin32UsbTransport& Instance();

  // The device handle of the first present interface of the class that opens (or
  // INVALID_HANDLE_VALUE); path receives the interface path. why may be null.
  HANDLE FindStbInterface(const GUID& interfaceClass, char (&path)[kStbPathSize], UsbOpenFailure* why);
  // FindStbInterface, closing the handle at once; whether an interface opened.
  bool GetStbInterfacePath(const GUID& interfaceClass, char (&path)[kStbPathSize], UsbOpenFailure* why);

  UsbHandle OpenStbDevice(UsbOpenFailure* why) override;
  UsbHandle OpenStbPipe(const char* pipeName, UsbOpenFailure* why) override;
  void Close(UsbHandle handle) override;
  bool WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                    uint32_t* bytesReturned) override;
  bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data, uint32_t* bytesReturned) override;
  void ResetPipe(UsbHandle pipe) override;
  bool ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) override;
  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override;
  void AbortTransfer(UsbHandle handle) override;

  // Opens an interface or pipe path: read and write, shared for both, existing, synchronous.
  static HANDLE OpenPath(const char* path);

 protected:
  // The present interfaces of the class (SetupAPI); tests give their own.
  virtual std::unique_ptr<IDeviceInterfaceList> ListInterfaces(const GUID& interfaceClass);
};
