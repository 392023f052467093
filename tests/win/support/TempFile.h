// TempFile.h - a file with given contents in the temporary folder, deleted when the object goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class TempFile {
 public:
  explicit TempFile(const std::string& name, const std::vector<unsigned char>& contents = {}) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    m_path = std::string(dir) + name;
    HANDLE h = CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!contents.empty()) WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr);
    CloseHandle(h);
  }
  ~TempFile() { DeleteFileA(m_path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};
