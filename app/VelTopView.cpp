#include "VelTopView.h"

#include "MainFrame.h"
#include "Placeholder.h"

IMPLEMENT_DYNCREATE(CVelTopView, CView)

CMainFrame* CVelTopView::GetMainFrame() const {
  CFrameWnd* pFrame = GetParentFrame();
  return pFrame && pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame)) ? static_cast<CMainFrame*>(pFrame) : nullptr;
}

void CVelTopView::RestartShapeTimer() {
  KillTimer(kShapeTimer);
  SetTimer(kShapeTimer, kShapeDelayMs);
}

int CVelTopView::OnCreate(LPCREATESTRUCTA lpcs) {
  if (CView::OnCreate(lpcs) == -1) return -1;
  RestartShapeTimer();
  return 0;
}

void CVelTopView::OnDestroy() {
  CView::OnDestroy();
  KillTimer(kShapeTimer);
}

void CVelTopView::OnMouseMove(UINT, CPoint) {
  CMainFrame* pFrame = GetMainFrame();
  if (pFrame && !pFrame->m_bRectShape) pFrame->SetWindowShape(TRUE);
  RestartShapeTimer();
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

void CVelTopView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
