// CFileDialog.h - the system's file-open (or save) dialog with a "name|pattern|...|" filter.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <string>
#include <vector>

class CWnd;

class CFileDialog {
 public:
  // lpszFilter: pairs of description and pattern, each ended by '|' ("Images|*.img|").
  // Without pParentWnd the dialog is owned by the application's main window, if any.
  CFileDialog(BOOL bOpenFileDialog, LPCSTR lpszDefExt = nullptr, LPCSTR lpszFileName = nullptr,
              DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR lpszFilter = nullptr,
              CWnd* pParentWnd = nullptr);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK when the user chose a file, IDCANCEL otherwise (also when the dialog failed).
  INT_PTR DoModal();
  // The chosen full path (empty before a confirmed DoModal).
  std::string GetPathName() const { return m_strPath; }
  // The filter as the system takes it: each '|' turned into a terminator.
  static std::string ConvertFilter(LPCSTR lpszFilter);

  OPENFILENAMEA m_ofn;

 private:
  BOOL m_bOpenFileDialog;
  std::string m_strFilter;
  std::string m_strDefExt;
  std::vector<char> m_fileBuffer;
  std::string m_strPath;
  CWnd* m_pParentWnd;
};
