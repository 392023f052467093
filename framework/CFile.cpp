#include "CFile.h"

BOOL CFile::Open(LPCSTR lpszFileName, UINT nOpenFlags) {
  Close();
  if (!lpszFileName) return FALSE;
  DWORD access = GENERIC_READ;
  switch (nOpenFlags & 0x3) {
    case modeWrite: access = GENERIC_WRITE; break;
    case modeReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
    default: break;
  }
  DWORD share = 0;
  switch (nOpenFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: break;  // exclusive
  }
  const DWORD disposition = (nOpenFlags & modeCreate) ? CREATE_ALWAYS : OPEN_EXISTING;
  m_hFile = CreateFileA(lpszFileName, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

void CFile::Close() {
  if (IsOpen()) CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
  DWORD read = 0;
  if (!IsOpen() || !ReadFile(m_hFile, lpBuf, nCount, &read, nullptr)) return 0;
  return read;
}

BOOL CFile::Write(const void* lpBuf, UINT nCount) {
  DWORD written = 0;
  return IsOpen() && WriteFile(m_hFile, lpBuf, nCount, &written, nullptr) && written == nCount;
}

ULONGLONG CFile::GetLength() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(m_hFile, &size)) return 0;
  return static_cast<ULONGLONG>(size.QuadPart);
}
