#include "VelManApp.h"

#include <commctrl.h>

#include "CCommandLineInfo.h"
#include "CSingleDocTemplate.h"
#include "FrameworkIds.h"
#include "MainFrame.h"
#include "ResourceText.h"
#include "VelManDoc.h"
#include "VelManView.h"
#include "resource.h"

IMPLEMENT_DYNAMIC(CVelManApp, CWinApp)

namespace {

struct SearchByTitle {
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND hWnd, LPARAM lParam) {
  auto* search = reinterpret_cast<SearchByTitle*>(lParam);
  char cls[64] = "";
  char text[256] = "";
  GetClassNameA(hWnd, cls, sizeof cls);
  GetWindowTextA(hWnd, text, sizeof text);
  if (lstrcmpA(cls, CFrameWnd::kWindowClass) == 0 && lstrcmpA(text, search->title) == 0) {
    search->found = hWnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND CVelManApp::FindRunningCopy(LPCSTR lpszTitle) {
  // By title, as the user sees it, but only among main windows of this program: another
  // program's window that happens to carry the same title does not keep this one from running.
  SearchByTitle search{lpszTitle, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CVelManApp::InitInstance() {
  // 1. The main window's title: the first field of the frame string.
  const std::string frameString = AfxLoadStringA(IDR_MAINFRAME);
  const std::string title = frameString.substr(0, frameString.find('\n'));

  // 2. A copy that runs already comes to the front instead.
  if (HWND hOther = FindRunningCopy(title.c_str())) {
    FlashWindow(hOther, TRUE);
    BringWindowToTop(hOther);
    return FALSE;
  }

  // 3. OLE.
  if (!InitOle()) {
    AfxMessageBox(IDP_OLE_INIT_FAILED, MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
  }

  // 4. Common controls (tooltips and the 3-D look); settings under
  //    HKEY_CURRENT_USER\Software\Korvantex\<application title>. No recent-file list.
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  SetRegistryKey("Korvantex");

  // 5. The single-document template.
  AddDocTemplate(new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CVelManDoc), RUNTIME_CLASS(CMainFrame),
                                        RUNTIME_CLASS(CVelManView)));

  // 6. An OLE start (embedding or automation) serves objects without a window. The
  //    program registers no class objects, so it waits without a window until it is ended.
  CCommandLineInfo cmdInfo;
  ParseCommandLine(cmdInfo);
  if (cmdInfo.m_bRunEmbedded || cmdInfo.m_bRunAutomated) {
    SetUserControl(FALSE);
    return TRUE;
  }

  // 7. A new document (or the named file): document, frame and views.
  if (!ProcessShellCommand(cmdInfo)) return FALSE;

  // 8. Show.
  if (!m_pMainWnd) return FALSE;
  m_pMainWnd->ShowWindow(SW_SHOW);
  m_pMainWnd->UpdateWindow();
  return TRUE;
}

BOOL CVelManApp::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message == WM_SYSCOMMAND && (pMsg->wParam & 0xFFF0) == SC_CLOSE && m_pMainWnd &&
      CMainFrame::IsCloseGreyed(m_pMainWnd->m_hWnd))
    return TRUE;
  return CWinApp::PreTranslateMessage(pMsg);
}

CMainFrame* CVelManApp::GetMainFrame() const {
  return m_pMainWnd && m_pMainWnd->IsKindOf(RUNTIME_CLASS(CMainFrame)) ? static_cast<CMainFrame*>(m_pMainWnd)
                                                                         : nullptr;
}

void CVelManApp::OnAppAbout() {
  if (CMainFrame* pFrame = GetMainFrame()) pFrame->ShowAbout();
}
