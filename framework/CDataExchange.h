// CDataExchange.h - one exchange between a window's members and its controls, with the DDX_ functions.
//
// UpdateData(FALSE) copies members into the controls, UpdateData(TRUE) copies the controls
// back. A control that is missing or holds a value that does not fit its member fails the
// exchange: the member keeps its value, the control gets the focus, later items are skipped
// and UpdateData returns FALSE.
#pragma once

#include <windows.h>

#include <string>

class CWnd;

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

  // The control with this id, or null (and the exchange failed) when there is none.
  HWND PrepareCtrl(int nIDC);
  void Fail(HWND hCtl);

  BOOL m_bSaveAndValidate;  // TRUE: controls to members
  CWnd* m_pDlgWnd;
  BOOL m_bFailed = FALSE;
};

// Binds rControl to control nIDC by subclassing it (once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value);
