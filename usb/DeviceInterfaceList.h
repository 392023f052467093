// DeviceInterfaceList.h - the present interfaces of one device class, as the discovery walks them by member index.
#pragma once

#include <string>

#include "UsbTransport.h"

class IDeviceInterfaceList {
 public:
  enum class Member { kFound, kNoMoreItems, kFailed };

  virtual ~IDeviceInterfaceList() = default;

  // Whether the class query itself succeeded.
  virtual bool IsValid() const = 0;
  // The interface at index: found, past the last one, or an enumeration failure.
  virtual Member Enumerate(unsigned int index) = 0;
  // The device path of the interface last found at index; false if its detail query fails.
  virtual bool GetPath(unsigned int index, std::string& path) = 0;
  // Opens a device path for reading and writing, shared, synchronous.
  virtual UsbHandle Open(const char* path) = 0;
};
