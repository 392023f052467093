// VelTopView.h - the 700 x 124 banner at the top; it runs the timer that gives the main window its rounded outline.
//
// Timer 100 (1500 ms) starts with the banner and restarts on every mouse move over it and
// whenever the main window is being moved; when it fires while the window shows its full
// outline, the window takes its rounded one. A mouse move over the banner brings the full
// outline back.
#pragma once

#include "CView.h"

class CMainFrame;

class CVelTopView : public CView {
  DECLARE_DYNCREATE(CVelTopView)

 public:
  static const UINT_PTR kShapeTimer = 100;
  static const UINT kShapeDelayMs = 1500;

  CVelTopView() = default;

  // Stops timer 100 and starts it again.
  void RestartShapeTimer();
  // Does nothing: the banner never takes the focus.
  void OnActivateView(BOOL, CView*, CView*) override {}
  void OnDraw(CDC* pDC) override;

  BEGIN_MSG_MAP(CVelTopView)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_DESTROY(OnDestroy)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_TIMER(OnTimer)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

  BOOL m_bLocked = FALSE;  // set while a transfer runs
  int m_nTab = 0;          // highlighted tab: 0 Serial, 1 USB

 protected:
  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnDestroy();
  void OnMouseMove(UINT nFlags, CPoint point);
  void OnTimer(UINT_PTR nIDEvent);
  CMainFrame* GetMainFrame() const;
};
