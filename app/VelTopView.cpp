#include "VelTopView.h"

#include <commctrl.h>
#include <shellapi.h>

#include "CBitmap.h"
#include "CClientDC.h"
#include "CPaintDC.h"
#include "MainFrame.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelTopView, CView)

// left, top, right, bottom: the rectangles of 110 x 32, 113 x 32 and 22 x 22 pixels.
const RECT CVelTopView::kHotSpots[kHotSpotCount] = {{10, 83, 120, 115}, {188, 83, 301, 115}, {652, 90, 674, 112}};
const char* const CVelTopView::kHomePageUrl = "http://www.korvantex.com/";

namespace {
const char* const kHotSpotTips[CVelTopView::kHotSpotCount] = {"Serial", "USB", "GO HOME-PAGE"};
const int kTipDelayMs = 200;
}  // namespace

CMainFrame* CVelTopView::GetMainFrame() const {
  CFrameWnd* pFrame = GetParentFrame();
  return pFrame && pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame)) ? static_cast<CMainFrame*>(pFrame) : nullptr;
}

void CVelTopView::RestartShapeTimer() {
  KillTimer(kShapeTimer);
  SetTimer(kShapeTimer, kShapeDelayMs);
}

BOOL CVelTopView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg && m_toolTip.m_hWnd) m_toolTip.RelayEvent(pMsg);
  return CView::PreTranslateMessage(pMsg);
}

int CVelTopView::OnCreate(LPCREATESTRUCTA lpcs) {
  if (CView::OnCreate(lpcs) == -1) return -1;
  RestartShapeTimer();
  m_toolTip.Create(this, TTS_ALWAYSTIP);
  m_toolTip.SetDelayTime(TTDT_AUTOMATIC, kTipDelayMs);
  for (int i = 0; i < kHotSpotCount; ++i)
    m_toolTip.AddTool(this, kHotSpotTips[i], &kHotSpots[i], static_cast<UINT_PTR>(-1));
  return 0;
}

void CVelTopView::OnDestroy() {
  CView::OnDestroy();
  KillTimer(kShapeTimer);
}

void CVelTopView::OnPaint() {
  CPaintDC dc(this);
  const CRect client = GetClientRect();
  CDC canvas;
  CBitmap banner;
  if (!canvas.CreateCompatibleDC(nullptr) || !banner.LoadBitmap(IDB_BANNER)) return;
  HGDIOBJ old = canvas.SelectObject(banner);
  CBitmap serialTab, usbTab, homeIcon;
  serialTab.LoadBitmap(m_nTab == 0 ? IDB_TAB_SERIAL_SELECTED : IDB_TAB_SERIAL);
  usbTab.LoadBitmap(m_nTab == 0 ? IDB_TAB_USB : IDB_TAB_USB_SELECTED);
  homeIcon.LoadBitmap(IDB_HOME_PAGE);
  canvas.DrawBitmap(serialTab, 10, 83, 110, 32);
  canvas.DrawBitmap(usbTab, 188, 83, 113, 32);
  canvas.DrawBitmap(homeIcon, 652, 90, 22, 22);
  dc.BitBlt(0, 0, client.Width(), client.Height(), &canvas, 0, 0, SRCCOPY);
  canvas.SelectObject(old);
}

void CVelTopView::ClearHotSpotFrames() {
  // Nothing to repaint when no frame is up: the busy lock comes at the box's READY, when
  // painting the banner would hold up the hand-shake.
  if (!m_hWnd || !m_bFrameShown) return;
  m_bFrameShown = false;
  for (const RECT& spot : kHotSpots) InvalidateRect(&spot, TRUE);
}

void CVelTopView::DrawHotSpotFrame(int i, BOOL bSunken) {
  m_bFrameShown = true;
  CClientDC dc(this);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF light = GetSysColor(COLOR_BTNHILIGHT);
  dc.Draw3dRect(kHotSpots[i], bSunken ? shadow : light, bSunken ? light : shadow);
}

void CVelTopView::ClickHotSpot(int i) {
  CMainFrame* pFrame = GetMainFrame();
  if (i == 2) {
    // The result does not matter: a missing browser shows whatever the shell shows.
    ShellExecuteA(m_hWnd, "open", kHomePageUrl, nullptr, nullptr, SW_SHOWMAXIMIZED);
    return;
  }
  if (pFrame) pFrame->SwitchMode(i);
  m_nTab = i;
}

void CVelTopView::TrackHotSpots(HotSpotEvent event, CPoint point) {
  // The press of this click began on the banner and nothing has taken its capture since.
  const bool pressHeld = event == HotSpotEvent::kRelease && GetCapture() == m_hWnd;
  if (event == HotSpotEvent::kPress && !m_bLocked) SetCapture(m_hWnd);
  for (int i = 0; i < kHotSpotCount; ++i) {
    const bool inside = PtInRect(&kHotSpots[i], point) != FALSE;
    switch (event) {
      case HotSpotEvent::kMove:
        if (inside && !m_bLocked)
          DrawHotSpotFrame(i, GetCapture() == m_hWnd);
        else
          InvalidateRect(&kHotSpots[i], TRUE);
        break;
      case HotSpotEvent::kPress:
        if (inside && !m_bLocked) DrawHotSpotFrame(i, TRUE);
        break;
      case HotSpotEvent::kRelease:
        if (inside && !m_bLocked && pressHeld) {
          ClickHotSpot(i);
          Invalidate(FALSE);
        }
        if (GetCapture() == m_hWnd) ReleaseCapture();
        break;
    }
  }
  if (event != HotSpotEvent::kMove) return;
  // The whole window, caption included, shows while the pointer moves over the banner.
  CMainFrame* pFrame = GetMainFrame();
  if (pFrame && !pFrame->m_bRectShape) pFrame->SetWindowShape(TRUE);
  RestartShapeTimer();
}

void CVelTopView::OnMouseMove(UINT, CPoint point) {
  if (!m_bTrackingLeave) {
    TRACKMOUSEEVENT tme = {sizeof tme, TME_LEAVE, m_hWnd, 0};
    m_bTrackingLeave = TrackMouseEvent(&tme) != FALSE;
  }
  TrackHotSpots(HotSpotEvent::kMove, point);
  Default();
}

void CVelTopView::OnLButtonDown(UINT, CPoint point) {
  if (!m_bLocked) TrackHotSpots(HotSpotEvent::kPress, point);
  Default();
}

void CVelTopView::OnLButtonUp(UINT, CPoint point) {
  if (!m_bLocked)
    TrackHotSpots(HotSpotEvent::kRelease, point);
  else if (GetCapture() == m_hWnd)
    ReleaseCapture();  // a press that began before the lock still ends
  Default();
}

LRESULT CVelTopView::OnMouseLeave(WPARAM, LPARAM) {
  // The pointer may have left a hot spot by a path the banner never saw.
  m_bTrackingLeave = false;
  ClearHotSpotFrames();
  return 0;
}

void CVelTopView::OnCaptureChanged(HWND) {
  // A press ended by something else (a message box, another window taking the mouse) leaves
  // no sunken frame behind.
  ClearHotSpotFrames();
  Default();
}

void CVelTopView::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kShapeTimer) {
    CMainFrame* pFrame = GetMainFrame();
    if (pFrame && pFrame->m_bRectShape) {
      pFrame->SetWindowShape(FALSE);
      KillTimer(kShapeTimer);
    }
  }
  Default();
}
