// CWaitCursor.h - shows the application's wait cursor for the lifetime of the object, however its scope is left.
#pragma once

#include "CWinApp.h"

class CWaitCursor {
 public:
  CWaitCursor() {
    if (CWinApp* pApp = AfxGetApp()) pApp->BeginWaitCursor();
  }
  ~CWaitCursor() {
    if (CWinApp* pApp = AfxGetApp()) pApp->EndWaitCursor();
  }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};
