#include "SetupApiInterfaceList.h"

#include <vector>

#include "Win32UsbTransport.h"

namespace {

// The shipped program is a 32-bit process, whose records the driver's ABI fixes: 28 bytes,
// and a detail record of cbSize 5 (the size field and the first path character). The test
// build for machines without 32-bit execution takes the 64-bit sizes.
constexpr DWORD kInterfaceDataSize = sizeof(SP_DEVICE_INTERFACE_DATA);
constexpr DWORD kDetailFixedSize = sizeof(void*) == 4 ? 5 : sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
static_assert(sizeof(void*) != 4 || kInterfaceDataSize == 28, "the 32-bit interface record is 28 bytes");

}  // namespace

CSetupApiInterfaceList::CSetupApiInterfaceList(const GUID& interfaceClass) : m_class(interfaceClass), m_data{} {
  m_set = SetupDiGetClassDevsA(&m_class, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
}

CSetupApiInterfaceList::~CSetupApiInterfaceList() {
  if (m_set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(m_set);
}

IDeviceInterfaceList::Member CSetupApiInterfaceList::Enumerate(unsigned int index) {
  m_data = SP_DEVICE_INTERFACE_DATA{};
  m_data.cbSize = kInterfaceDataSize;
  if (SetupDiEnumDeviceInterfaces(m_set, nullptr, &m_class, index, &m_data)) return Member::kFound;
  return GetLastError() == ERROR_NO_MORE_ITEMS ? Member::kNoMoreItems : Member::kFailed;
}

bool CSetupApiInterfaceList::GetPath(unsigned int, std::string& path) {
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(m_set, &m_data, nullptr, 0, &required, nullptr);
  if (required < kDetailFixedSize) return false;
  std::vector<unsigned char> record(required + 1, 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record.data());
  detail->cbSize = kDetailFixedSize;
  if (!SetupDiGetDeviceInterfaceDetailA(m_set, &m_data, detail, required, nullptr, nullptr)) return false;
  path = detail->DevicePath;
  return true;
}

UsbHandle CSetupApiInterfaceList::Open(const char* path) {
  return reinterpret_cast<UsbHandle>(CWin32UsbTransport::OpenPath(path));
}
