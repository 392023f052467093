// MainFrame.h - the main window: fixed 700 x 500 client layout, the splitter's two panes, mode switching, busy lock.
//
// Client area, fixed whatever the window's size attempts: banner (0, 0, 700, 124),
// splitter (0, 124, 700, 325), bottom strip (0, 449, 700, 51). The splitter holds the left
// menu in pane (0, 0) and the work view in pane (0, 1). Views are not owned: each deletes
// itself when its window goes; the pointers here are cleared before the window is destroyed.
#pragma once

#include "CCreateContext.h"
#include "CFrameWnd.h"
#include "VelSplitterWnd.h"

class CVelBottomView;
class CVelTopView;

class CMainFrame : public CFrameWnd {
  DECLARE_DYNCREATE(CMainFrame)

 public:
  static const int kClientWidth = 700;
  static const int kClientHeight = 500;
  enum Mode { kSerialMode = 0, kUsbMode = 1 };
  enum WorkView { kSerialWorkView = 1000, kUpgradeWorkView = 1001 };

  // Rebuilds both panes for serial (0) or USB (1) mode; the old work view is destroyed
  // before its successor exists. The mode already shown, or any other value: nothing.
  void SwitchMode(int nMode);
  // Puts the serial work view of kind nID (1000 or 1001) into pane (0, 1), under the wait cursor.
  void SelectWorkView(UINT nID);
  // Locks (TRUE) or unlocks the user interface around a transfer: the banner's hot spots,
  // the system menu's Close item and the left menu's button.
  void SetBusy(BOOL bBusy);
  // Asks the work view to show the About information (message WM_SHOW_ABOUT); its answer.
  LRESULT ShowAbout();
  // The rectangular (TRUE) or rounded (FALSE) outline; stored in m_bRectShape.
  void SetWindowShape(BOOL bRect);
  // Whether the Close item of hWnd's system menu is greyed.
  static BOOL IsCloseGreyed(HWND hWnd);

  BOOL DestroyWindow() override;
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  void RecalcLayout(BOOL bNotify = TRUE) override;
  BOOL OnCreateClient(LPCREATESTRUCTA lpcs, CCreateContext* pContext) override;
  void OnUpdateFrameTitle(BOOL bAddToTitle) override;

  BEGIN_MSG_MAP(CMainFrame)
    MSG_WM_SIZE(OnSize)
    MSG_WM_MOVING(OnMoving)
    MSG_WM_CLOSE(OnClose)
    CHAIN_MSG_MAP(CFrameWnd)
  END_MSG_MAP()

  CVelSplitterWnd m_wndSplitter;
  CVelTopView* m_pTopView = nullptr;
  CVelBottomView* m_pBottomView = nullptr;
  int m_nWorkView = kSerialWorkView;
  int m_nMode = kSerialMode;
  BOOL m_bRectShape = TRUE;

 protected:
  CMainFrame() = default;

  void OnSize(UINT nType, int cx, int cy);
  void OnMoving(UINT fwSide, LPRECT pRect);
  void OnClose();

  // A creation context for new panes: the work view's document (the frame's own when the
  // pane is empty), its template and this frame.
  CCreateContext PaneContext() const;
  CView* PaneView(int col) const;
};
