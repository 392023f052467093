// SetupApiInterfaceList.h - the present interfaces of a device class, read through SetupAPI in its 32-bit ANSI layout.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "DeviceInterfaceList.h"

class CSetupApiInterfaceList : public IDeviceInterfaceList {
 public:
  explicit CSetupApiInterfaceList(const GUID& interfaceClass);
  ~CSetupApiInterfaceList() override;
  CSetupApiInterfaceList(const CSetupApiInterfaceList&) = delete;
  CSetupApiInterfaceList& operator=(const CSetupApiInterfaceList&) = delete;

  bool IsValid() const override { return m_set != INVALID_HANDLE_VALUE; }
  Member Enumerate(unsigned int index) override;
  bool GetPath(unsigned int index, std::string& path) override;
  UsbHandle Open(const char* path) override;

 private:
  HDEVINFO m_set;
  GUID m_class;
  SP_DEVICE_INTERFACE_DATA m_data;
};
