// VelManApp.h - the program's application object: start-up, single instance, and keeping Close shut while busy.
#pragma once

#include "CWinApp.h"
#include "FrameworkIds.h"
#include "MessageMap.h"

class CMainFrame;

class CVelManApp : public CWinApp {
  DECLARE_DYNAMIC(CVelManApp)

 public:
  CVelManApp() = default;

  BOOL InitInstance() override;
  // Discards a queued Close system command (Alt+F4, the caption's close button) while the
  // main window's Close item is greyed, that is while a transfer runs.
  BOOL PreTranslateMessage(MSG* pMsg) override;

  // The main frame, or null (before start-up, after the end, or for an OLE start).
  CMainFrame* GetMainFrame() const;
  // A top-level window of another copy of the program titled lpszTitle, or null.
  static HWND FindRunningCopy(LPCSTR lpszTitle);

  BEGIN_MSG_MAP(CVelManApp)
    COMMAND_ID(ID_APP_ABOUT, OnAppAbout)
    CHAIN_MSG_MAP(CWinApp)
  END_MSG_MAP()

 protected:
  void OnAppAbout();
};
