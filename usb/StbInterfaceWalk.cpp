#include "StbInterfaceWalk.h"

#include <cstring>

UsbHandle FindStbInterface(IDeviceInterfaceList& list, char (&path)[kStbPathSize], UsbOpenFailure* why) {
  path[0] = '\0';
  UsbHandle result = kInvalidUsbHandle;
  bool tooLong = false;
  if (list.IsValid()) {
    unsigned int failures = 0;
    for (unsigned int index = 0;; ++index) {
      IDeviceInterfaceList::Member m = list.Enumerate(index);
      if (m == IDeviceInterfaceList::Member::kNoMoreItems) break;
      if (m == IDeviceInterfaceList::Member::kFailed) {
        // A class query that keeps failing would otherwise never end.
        if (++failures >= kMaxEnumerationFailures) break;
        continue;
      }
      failures = 0;
      std::string devicePath;
      if (!list.GetPath(index, devicePath)) continue;
      if (devicePath.size() >= kStbPathSize) {
        tooLong = true;
        continue;
      }
      std::memcpy(path, devicePath.c_str(), devicePath.size() + 1);
      UsbHandle h = list.Open(path);
      if (h != kInvalidUsbHandle) {
        result = h;
        break;
      }
    }
  }
  if (why) {
    if (result != kInvalidUsbHandle)
      *why = UsbOpenFailure::kNone;
    else
      *why = tooLong ? UsbOpenFailure::kPathTooLong : UsbOpenFailure::kNotFound;
  }
  return result;
}

bool BuildStbPipePath(const char* interfacePath, const char* pipeName, char (&out)[kStbPathSize]) {
  std::size_t a = std::strlen(interfacePath);
  std::size_t b = std::strlen(pipeName);
  if (a + 1 + b >= kStbPathSize) {
    out[0] = '\0';
    return false;
  }
  std::memcpy(out, interfacePath, a);
  out[a] = '\\';
  std::memcpy(out + a + 1, pipeName, b + 1);
  return true;
}
