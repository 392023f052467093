// CFrameWnd.h - a top-level frame: title, icon and accelerators from one resource id, its views, command routing.
//
// Commands (menu or accelerator, WM_COMMAND without a control) go to the active view, then
// the document, then the frame's own table, then the application. The frame is made with
// new by its document template and deletes itself when its window goes; the document it
// was created for closes with it, and when it is the application's main window the
// application is told (see CWinApp::OnMainWindowGone).
#pragma once

#include <string>

#include "CWnd.h"
#include "FrameworkIds.h"

class CDocument;
class CView;

class CFrameWnd : public CWnd {
  DECLARE_DYNCREATE(CFrameWnd)

 public:
  // Class name of the framework's frame windows.
  static const char kWindowClass[];

  // Creates the frame: title from the first "\n"-separated field of string nIDResource,
  // icon and accelerator table nIDResource, position and size the system's defaults. The
  // frame has no menu. Without a creation context the views get their initial update here.
  // On failure the frame object is gone.
  virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                         CWnd* pParentWnd = nullptr, CCreateContext* pContext = nullptr);
  // Lays out the client area: the base stretches the first pane (AFX_IDW_PANE_FIRST) over it.
  virtual void RecalcLayout(BOOL bNotify = TRUE);
  // Creates the client windows from WM_CREATE; the base makes one view of the context's class.
  virtual BOOL OnCreateClient(LPCREATESTRUCTA lpcs, CCreateContext* pContext);
  // Sets the window text: with FWS_ADDTOTITLE the document's title, " - ", then the frame's title.
  virtual void OnUpdateFrameTitle(BOOL bAddToTitle);

  // Makes pContext's view class as child nID of this frame; null when that fails.
  CWnd* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);
  // Once the frame is complete: picks the active view, sends every view its initial update,
  // sets the title and shows the frame if asked to.
  void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);

  CView* GetActiveView() const { return m_pViewActive; }
  // Makes pViewNew the active view; with bNotify the old and new views are told.
  void SetActiveView(CView* pViewNew, BOOL bNotify = TRUE);
  CDocument* GetActiveDocument() const;
  const std::string& GetTitle() const { return m_strTitle; }

  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;
  BOOL OnCmdMsg(UINT nID, int nCode) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  BEGIN_MSG_MAP(CFrameWnd)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_SIZE(OnSize)
    MSG_WM_CLOSE(OnClose)
    MSG_WM_SETFOCUS(OnSetFocus)
  END_MSG_MAP()

 protected:
  CFrameWnd() = default;

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnSize(UINT nType, int cx, int cy);
  void OnClose();
  void OnSetFocus(HWND hWndOld);
  void PostNcDestroy() override;

  std::string m_strTitle;
  HACCEL m_hAccelTable = nullptr;
  CView* m_pViewActive = nullptr;
  CDocument* m_pDocument = nullptr;  // the document the frame was created for
  BOOL m_bInRecalcLayout = FALSE;
};
