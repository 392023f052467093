// The settings store against the real per-user registry of the test prefix, read back
// both through the store and with Wine's own reg.exe.
#include <gtest/gtest.h>

#include <string>

#include "CWinApp.h"
#include "SettingsStore.h"

namespace {

const char kAppKey[] = "Software\\Korvantex\\Stelvar V1.0.2";

CWinApp g_app("Stelvar V1.0.2");

// Runs reg.exe with the arguments and returns what it printed.
std::string RunReg(const std::string& args) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE hRead = nullptr;
  HANDLE hWrite = nullptr;
  if (!CreatePipe(&hRead, &hWrite, &sa, 0)) return "";
  SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = hWrite;
  si.hStdError = hWrite;
  PROCESS_INFORMATION pi{};
  std::string cmd = "reg.exe " + args;
  std::string out;
  if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi)) {
    CloseHandle(hWrite);
    hWrite = nullptr;
    char buf[512];
    DWORD n = 0;
    while (ReadFile(hRead, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  if (hWrite) CloseHandle(hWrite);
  CloseHandle(hRead);
  return out;
}

// The REG_SZ value reg.exe shows for the entry, or "<missing>".
std::string QueryWithReg(const std::string& section, const std::string& entry) {
  const std::string out =
      RunReg("query \"HKCU\\" + std::string(kAppKey) + "\\" + section + "\" /v \"" + entry + "\"");
  const std::string marker = entry + "    REG_SZ    ";
  const size_t at = out.find(marker);
  if (at == std::string::npos) return "<missing>";
  const size_t start = at + marker.size();
  return out.substr(start, out.find_first_of("\r\n", start) - start);
}

class SettingsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kAppKey);
    g_app.SetRegistryKey("Korvantex");
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kAppKey); }
};

}  // namespace

TEST_F(SettingsStore, OnTheFirstRunBothSettingsReadEmpty) {
  EXPECT_EQ("", CSettingsStore::ReadLastDir());
  EXPECT_EQ("", CSettingsStore::ReadLastFile());
  EXPECT_EQ("fallback", g_app.GetProfileText("Setting", "Last Dir", "fallback"));
  EXPECT_EQ("<missing>", QueryWithReg("Setting", "Last Dir"));
}

TEST_F(SettingsStore, ValuesAreStoredAsStringsUnderTheProgramsKeyAndReplaceEarlierOnes) {
  CSettingsStore::WriteLastFile("C:\\images\\first.img");
  CSettingsStore::WriteLastFile("C:\\images\\box.img");
  CSettingsStore::WriteLastDir("D:\\fw\\usb\\box.img");
  EXPECT_EQ("C:\\images\\box.img", CSettingsStore::ReadLastFile());
  EXPECT_EQ("D:\\fw\\usb", CSettingsStore::ReadLastDir());
  // Another process sees them where the program's description says they are.
  EXPECT_EQ("C:\\images\\box.img", QueryWithReg("OldManagerDownload", "LastFile"));
  EXPECT_EQ("D:\\fw\\usb", QueryWithReg("Setting", "Last Dir"));

  // And the store reads what another process wrote.
  RunReg("add \"HKCU\\" + std::string(kAppKey) + "\\Setting\" /v \"Last Dir\" /d \"E:\\from reg\" /f");
  EXPECT_EQ("E:\\from reg", CSettingsStore::ReadLastDir());
}

TEST_F(SettingsStore, LastDirIsTheFolderOfThePathEmptyWithoutABackslashAfterTheFirstCharacter) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"D:\\fw\\box.img", "D:\\fw"}, {"C:\\box.img", "C:"}, {"D:\\fw\\", "D:\\fw"},
      {"box.img", ""},               {"\\box.img", ""},     {"", ""},
      {"D:/fw/box.img", ""},
  };
  for (const auto& c : cases) {
    CSettingsStore::WriteLastDir(c.path);
    EXPECT_EQ(c.folder, CSettingsStore::ReadLastDir()) << c.path;
    EXPECT_EQ(c.folder, QueryWithReg("Setting", "Last Dir")) << c.path;
  }
}

TEST_F(SettingsStore, FailuresAreSilentAndReadAsTheDefault) {
  // A section name the registry refuses: the write fails, the read falls back.
  const std::string longSection(300, 's');
  EXPECT_FALSE(g_app.WriteProfileText(longSection.c_str(), "Entry", "value"));
  EXPECT_EQ("dflt", g_app.GetProfileText(longSection.c_str(), "Entry", "dflt"));

  // A value of another type is not taken for the string.
  HKEY hKey = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kAppKey) + "\\Setting").c_str(), 0,
                                           nullptr, 0, KEY_SET_VALUE, nullptr, &hKey, nullptr));
  const DWORD number = 7;
  RegSetValueExA(hKey, "Last Dir", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(hKey);
  EXPECT_EQ("", CSettingsStore::ReadLastDir());

  // Without a registry key nothing is stored anywhere.
  g_app.SetRegistryKey(nullptr);
  EXPECT_FALSE(g_app.WriteProfileText("OldManagerDownload", "LastFile", "x"));
  CSettingsStore::WriteLastFile("C:\\lost.img");
  EXPECT_EQ("", CSettingsStore::ReadLastFile());
  g_app.SetRegistryKey("Korvantex");
  EXPECT_EQ("", CSettingsStore::ReadLastFile());
}
