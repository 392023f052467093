#include "CFileDialog.h"

#include <commdlg.h>

#include "CWinApp.h"
#include "CWnd.h"

namespace {
// Room for long paths: the dialog reports a name that does not fit as a failure.
const size_t kFileBufferSize = 32768;
}  // namespace

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt, LPCSTR lpszFileName, DWORD dwFlags,
                         LPCSTR lpszFilter, CWnd* pParentWnd)
    : m_ofn{},
      m_bOpenFileDialog(bOpenFileDialog),
      m_strFilter(ConvertFilter(lpszFilter)),
      m_strDefExt(lpszDefExt ? lpszDefExt : ""),
      m_fileBuffer(kFileBufferSize, '\0'),
      m_pParentWnd(pParentWnd) {
  if (lpszFileName) lstrcpynA(m_fileBuffer.data(), lpszFileName, static_cast<int>(m_fileBuffer.size()));
  m_ofn.lStructSize = sizeof m_ofn;
  m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
  m_ofn.lpstrFile = m_fileBuffer.data();
  m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer.size());
  m_ofn.lpstrFilter = m_strFilter.empty() ? nullptr : m_strFilter.c_str();
  m_ofn.nFilterIndex = m_strFilter.empty() ? 0 : 1;
  m_ofn.lpstrDefExt = m_strDefExt.empty() ? nullptr : m_strDefExt.c_str();
}

std::string CFileDialog::ConvertFilter(LPCSTR lpszFilter) {
  if (!lpszFilter || !*lpszFilter) return std::string();
  std::string filter(lpszFilter);
  for (char& c : filter)
    if (c == '|') c = '\0';
  // The list ends with two terminators.
  filter.push_back('\0');
  return filter;
}

INT_PTR CFileDialog::DoModal() {
  HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  if (!hOwner && AfxGetApp() && AfxGetApp()->m_pMainWnd) hOwner = AfxGetApp()->m_pMainWnd->m_hWnd;
  m_ofn.hwndOwner = hOwner;
  m_ofn.hInstance = AfxGetInstanceHandle();
  const BOOL ok = m_bOpenFileDialog ? GetOpenFileNameA(&m_ofn) : GetSaveFileNameA(&m_ofn);
  if (!ok) return IDCANCEL;
  m_strPath = m_fileBuffer.data();
  return IDOK;
}
