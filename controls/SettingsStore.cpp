#include "SettingsStore.h"

#include "CWinApp.h"

const char CSettingsStore::kUsbSection[] = "Setting";
const char CSettingsStore::kLastDirEntry[] = "Last Dir";
const char CSettingsStore::kSerialSection[] = "OldManagerDownload";
const char CSettingsStore::kLastFileEntry[] = "LastFile";

namespace {

void Write(const char* section, const char* entry, const std::string& value) {
  if (CWinApp* pApp = AfxGetApp()) pApp->WriteProfileText(section, entry, value.c_str());
}

std::string Read(const char* section, const char* entry) {
  CWinApp* pApp = AfxGetApp();
  return pApp ? pApp->GetProfileText(section, entry, "") : std::string();
}

}  // namespace

std::string CSettingsStore::FolderOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

void CSettingsStore::WriteLastDir(const std::string& imagePath) {
  Write(kUsbSection, kLastDirEntry, FolderOf(imagePath));
}

void CSettingsStore::WriteLastFile(const std::string& imagePath) { Write(kSerialSection, kLastFileEntry, imagePath); }

std::string CSettingsStore::ReadLastDir() { return Read(kUsbSection, kLastDirEntry); }

std::string CSettingsStore::ReadLastFile() { return Read(kSerialSection, kLastFileEntry); }
