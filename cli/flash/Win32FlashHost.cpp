#include "Win32FlashHost.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "FlashSession.h"
#include "Station.h"
#include "Win32FlashPlatform.h"
#include "Win32StationPlatform.h"
#include "Win32Terminal.h"

namespace {

// The COM number of a name such as "COM12"; 0 for anything else.
int ComNumber(const char* name) {
  if (_strnicmp(name, "COM", 3) != 0 || !name[3]) return 0;
  for (const char* p = name + 3; *p; ++p)
    if (*p < '0' || *p > '9') return 0;
  return std::atoi(name + 3);
}

// Friendly names of the ports the device manager knows ("USB Serial Port (COM3)").
std::map<int, std::string> FriendlyNames() {
  std::map<int, std::string> names;
  static const GUID kPortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return names;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    char friendly[256] = "";
    if (!SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                           reinterpret_cast<BYTE*>(friendly), sizeof friendly - 1, nullptr))
      continue;
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    char port[64] = "";
    DWORD size = sizeof port - 1;
    if (RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(port), &size) == ERROR_SUCCESS &&
        ComNumber(port))
      names[ComNumber(port)] = friendly;
    RegCloseKey(key);
  }
  SetupDiDestroyDeviceInfoList(set);
  return names;
}

}  // namespace

std::string CWin32FlashHost::LibraryVersion() {
  // The version resource of the VelManager.dll this process loaded, wherever it came from.
  std::string text = "VelManager.dll ";
  char path[MAX_PATH * 4] = "";
  HMODULE library = GetModuleHandleA("VelManager.dll");
  if (!library || !GetModuleFileNameA(library, path, sizeof path)) return text + "(not loaded)";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!size || !GetFileVersionInfoA(path, 0, size, &data[0]) ||
      !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || length < sizeof *info)
    return text + "(no version resource) " + path;
  char version[64];
  std::snprintf(version, sizeof version, "%lu.%lu.%lu.%lu", info->dwFileVersionMS >> 16,
                info->dwFileVersionMS & 0xFFFF, info->dwFileVersionLS >> 16, info->dwFileVersionLS & 0xFFFF);
  return text + version + " " + path;
}

std::vector<std::string> CWin32FlashHost::ListPorts() {
  // Every COM device name of this machine, with what it stands for.
  std::vector<char> names(1 << 16);
  DWORD got = 0;
  while ((got = QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()))) == 0 &&
         GetLastError() == ERROR_INSUFFICIENT_BUFFER && names.size() < (1u << 24))
    names.resize(names.size() * 2);
  std::map<int, std::string> ports;
  for (const char* name = names.data(); got && *name; name += std::strlen(name) + 1) {
    if (!ComNumber(name)) continue;
    char target[1024] = "";
    QueryDosDeviceA(name, target, sizeof target);
    ports[ComNumber(name)] = target;
  }
  const std::map<int, std::string> friendly = FriendlyNames();
  std::vector<std::string> lines;
  for (const auto& port : ports) {
    std::string line = "COM" + std::to_string(port.first);
    line.resize(std::max<std::size_t>(line.size() + 1, 8), ' ');
    const auto f = friendly.find(port.first);
    line += f != friendly.end() ? f->second : port.second;
    lines.push_back(line);
  }
  return lines;
}

int64_t CWin32FlashHost::UnixTimeMs() { return CWin32Terminal::UnixTimeMs(); }

void CWin32FlashHost::Write(IFlashPlatform::Stream stream, const std::string& text) {
  CWin32Terminal::Write(stream, text);
}

int CWin32FlashHost::RunSession(const CFlashOptions& options, CRunLog* log) {
  CWin32FlashPlatform platform(options.port, options.baud);
  CFlashSession session(options, platform, log);
  m_session = &platform;
  if (m_stops > 0) platform.RequestStop();
  const int status = platform.Run(session);
  m_session = nullptr;
  return status;
}

int CWin32FlashHost::RunStation(const CFlashOptions& options, CRunLog* log) {
  CWin32StationPlatform platform;
  CStation station(options, platform, log);
  m_station = &platform;
  if (m_stops > 0) platform.RequestStop();
  const int status = station.Run();
  m_station = nullptr;
  return status;
}

void CWin32FlashHost::RequestStop() {
  const int stops = ++m_stops;
  if (CWin32StationPlatform* station = m_station) {
    station->RequestStop();
    return;
  }
  if (stops == 1) {
    if (CWin32FlashPlatform* session = m_session) session->RequestStop();
    return;
  }
  // A second Ctrl-C does not wait for the library: the port closes with the process.
  static const char kWords[] = "velflash: ended at once by a second Ctrl-C\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kWords, sizeof kWords - 1, &written, nullptr);
  TerminateProcess(GetCurrentProcess(), 130);
}
