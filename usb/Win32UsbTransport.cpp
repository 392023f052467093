#include "Win32UsbTransport.h"

#include "SetupApiInterfaceList.h"
#include "StbInterfaceWalk.h"

const GUID GUID_STB_INTERFACE_CLASS = {0x21817EDD, 0xEDAD, 0x48E7, {0x9B, 0xCF, 0x99, 0x03, 0x70, 0xC5, 0x40, 0x1F}};

namespace {

HANDLE AsHandle(UsbHandle h) { return reinterpret_cast<HANDLE>(h); }
UsbHandle AsUsbHandle(HANDLE h) { return reinterpret_cast<UsbHandle>(h); }

}  // namespace

CWin32UsbTransport& CWin32UsbTransport::Instance() {
  static CWin32UsbTransport* instance = new CWin32UsbTransport;
  return *instance;
}

std::unique_ptr<IDeviceInterfaceList> CWin32UsbTransport::ListInterfaces(const GUID& interfaceClass) {
  return std::unique_ptr<IDeviceInterfaceList>(new CSetupApiInterfaceList(interfaceClass));
}

HANDLE CWin32UsbTransport::OpenPath(const char* path) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

HANDLE CWin32UsbTransport::FindStbInterface(const GUID& interfaceClass, char (&path)[kStbPathSize],
                                            UsbOpenFailure* why) {
  std::unique_ptr<IDeviceInterfaceList> list = ListInterfaces(interfaceClass);
  return AsHandle(::FindStbInterface(*list, path, why));
}

bool CWin32UsbTransport::GetStbInterfacePath(const GUID& interfaceClass, char (&path)[kStbPathSize],
                                             UsbOpenFailure* why) {
  HANDLE h = FindStbInterface(interfaceClass, path, why);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

UsbHandle CWin32UsbTransport::OpenStbDevice(UsbOpenFailure* why) {
  char path[kStbPathSize];
  return AsUsbHandle(FindStbInterface(GUID_STB_INTERFACE_CLASS, path, why));
}

UsbHandle CWin32UsbTransport::OpenStbPipe(const char* pipeName, UsbOpenFailure* why) {
  char path[kStbPathSize];
  if (!GetStbInterfacePath(GUID_STB_INTERFACE_CLASS, path, why)) return kInvalidUsbHandle;
  char pipePath[kStbPathSize];
  if (!BuildStbPipePath(path, pipeName, pipePath)) {
    if (why) *why = UsbOpenFailure::kPathTooLong;
    return kInvalidUsbHandle;
  }
  HANDLE h = OpenPath(pipePath);
  if (why) *why = h == INVALID_HANDLE_VALUE ? UsbOpenFailure::kNotFound : UsbOpenFailure::kNone;
  return AsUsbHandle(h);
}

void CWin32UsbTransport::Close(UsbHandle handle) {
  if (handle != kInvalidUsbHandle) CloseHandle(AsHandle(handle));
}

bool CWin32UsbTransport::WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                                      uint32_t* bytesReturned) {
  StbRequest r = MakeStbRequest(request, length, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data)));
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(AsHandle(device), IOCTL_STB_WRITE_REQUEST, &r, sizeof r, nullptr, 0, &returned, nullptr);
  if (bytesReturned) *bytesReturned = ok ? returned : 0;
  return ok == TRUE;
}

bool CWin32UsbTransport::ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data,
                                     uint32_t* bytesReturned) {
  StbRequest r = MakeStbRequest(request, length, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data)));
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(AsHandle(device), IOCTL_STB_READ_REQUEST, &r, sizeof r, data, length, &returned, nullptr);
  if (bytesReturned) *bytesReturned = ok ? returned : 0;
  return ok == TRUE;
}

void CWin32UsbTransport::ResetPipe(UsbHandle pipe) {
  DWORD returned = 0;
  DeviceIoControl(AsHandle(pipe), IOCTL_STB_RESET_PIPE, nullptr, 0, nullptr, 0, &returned, nullptr);
}

bool CWin32UsbTransport::ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) {
  DWORD n = 0;
  BOOL ok = ReadFile(AsHandle(pipe), buffer, length, &n, nullptr);
  if (got) *got = ok ? n : 0;
  return ok != FALSE;
}

bool CWin32UsbTransport::WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) {
  DWORD n = 0;
  BOOL ok = WriteFile(AsHandle(pipe), data, length, &n, nullptr);
  if (written) *written = ok ? n : 0;
  return ok != FALSE;
}

void CWin32UsbTransport::AbortTransfer(UsbHandle handle) {
  if (handle != kInvalidUsbHandle) CancelIoEx(AsHandle(handle), nullptr);
}
