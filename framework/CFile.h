// CFile.h - a file opened by name for reading or writing, closed when the object goes.
#pragma once

#include <windows.h>

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareExclusive = 0x0010,  // the default: the file is shared with nobody
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeCreate = 0x1000,      // create, or empty an existing file
  };

  CFile() = default;
  ~CFile() { Close(); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  BOOL Open(LPCSTR lpszFileName, UINT nOpenFlags);
  void Close();
  BOOL IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
  // Bytes read (0 at the end of the file or on failure).
  UINT Read(void* lpBuf, UINT nCount);
  BOOL Write(const void* lpBuf, UINT nCount);
  ULONGLONG GetLength() const;

  HANDLE m_hFile = INVALID_HANDLE_VALUE;
};
