// SettingsStore.h - the program's per-user settings: the last USB image folder and the last serial image file.
//
// They live in the application's profile (CWinApp::GetProfileText / WriteProfileText),
// that is HKEY_CURRENT_USER\Software\Korvantex\Stelvar V1.0.2\<section> once start-up has
// set the registry key. Both are written for later runs; a missing value reads as empty;
// a store that cannot be read or written is passed over in silence.
#pragma once

#include <string>

class CSettingsStore {
 public:
  static const char kUsbSection[];     // "Setting"
  static const char kLastDirEntry[];   // "Last Dir"
  static const char kSerialSection[];  // "OldManagerDownload"
  static const char kLastFileEntry[];  // "LastFile"

  // Stores the folder of a USB image (see FolderOf) as "Last Dir".
  static void WriteLastDir(const std::string& imagePath);
  // Stores the full path of a serial image as "LastFile".
  static void WriteLastFile(const std::string& imagePath);
  static std::string ReadLastDir();
  static std::string ReadLastFile();

  // The path up to, and without, its last backslash; empty when it has no backslash after
  // its first character.
  static std::string FolderOf(const std::string& path);
};
