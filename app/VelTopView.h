// VelTopView.h - the 700 x 124 banner at the top: the artwork, the Serial and USB tabs that switch the mode, the home-page icon, and the timer that gives the main window its rounded outline.
//
// Hot spots act on release: the one under the pointer when the left button goes up acts,
// wherever on the banner the press began. A press on the banner takes the mouse capture,
// and only a release while the banner still holds it acts, so a button-up whose press went
// elsewhere (the second click of a double-click that closed a dialog over the banner) or
// whose capture was taken away does nothing; every release frees the capture. The frames
// drawn on the hot spots go when the pointer leaves the banner, when the capture is lost
// and when the lock comes. While a transfer runs (m_bLocked) they show no frame and ignore
// clicks; the window outline still follows the pointer. Timer 100 (1500 ms) starts with the banner and restarts on every mouse move over
// it and whenever the main window is being moved; when it fires while the window shows its
// full outline, the window takes its rounded one.
#pragma once

#include "CToolTipCtrl.h"
#include "CView.h"

class CMainFrame;

class CVelTopView : public CView {
  DECLARE_DYNCREATE(CVelTopView)

 public:
  static const UINT_PTR kShapeTimer = 100;
  static const UINT kShapeDelayMs = 1500;
  static const int kHotSpotCount = 3;
  // The hot spots in the order every loop visits them: Serial, USB, home page (client coordinates).
  static const RECT kHotSpots[kHotSpotCount];
  // The maker's home page, opened by the home-page icon.
  static const char* const kHomePageUrl;

  CVelTopView() = default;

  // Stops timer 100 and starts it again.
  void RestartShapeTimer();
  // Removes any hover or press frame from the hot spots (they are repainted plain).
  void ClearHotSpotFrames();
  BOOL PreTranslateMessage(MSG* pMsg) override;
  // Does nothing: the banner never takes the focus.
  void OnActivateView(BOOL, CView*, CView*) override {}
  // Does nothing: the paint handler draws everything.
  void OnDraw(CDC*) override {}

  BEGIN_MSG_MAP(CVelTopView)
    MSG_WM_CREATE(OnCreate)
    MSG_WM_DESTROY(OnDestroy)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_LBUTTONDOWN(OnLButtonDown)
    MSG_WM_LBUTTONUP(OnLButtonUp)
    MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
    MSG_WM_CAPTURECHANGED(OnCaptureChanged)
    MSG_WM_TIMER(OnTimer)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

  CToolTipCtrl m_toolTip;
  BOOL m_bLocked = FALSE;  // set while a transfer runs
  int m_nTab = 0;          // highlighted tab: 0 Serial, 1 USB

 private:
  bool m_bTrackingLeave = false;  // a WM_MOUSELEAVE is asked for
  bool m_bFrameShown = false;     // a frame was drawn on a hot spot and may still be there

 protected:
  enum class HotSpotEvent { kMove, kPress, kRelease };

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnDestroy();
  void OnPaint();
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  void OnMouseMove(UINT nFlags, CPoint point);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnLButtonUp(UINT nFlags, CPoint point);
  LRESULT OnMouseLeave(WPARAM, LPARAM);
  void OnCaptureChanged(HWND hWndNew);
  void OnTimer(UINT_PTR nIDEvent);

  void TrackHotSpots(HotSpotEvent event, CPoint point);
  // Draws a one-pixel 3-D frame on hot spot i, directly on the window.
  void DrawHotSpotFrame(int i, BOOL bSunken);
  void ClickHotSpot(int i);
  CMainFrame* GetMainFrame() const;
};
