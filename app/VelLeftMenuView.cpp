#include "VelLeftMenuView.h"

#include "MainFrame.h"
#include "Placeholder.h"

IMPLEMENT_DYNCREATE(CVelLeftMenuView, CView)

void CVelLeftMenuView::OnActivateView(BOOL bActivate, CView*, CView*) {
  if (!bActivate) return;
  CFrameWnd* pFrame = GetParentFrame();
  if (!pFrame || !pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame))) return;
  CVelSplitterWnd& splitter = static_cast<CMainFrame*>(pFrame)->m_wndSplitter;
  CWnd* pWork = splitter.GetPane(0, 1);
  if (!pWork) return;
  splitter.SetActivePane(0, 1);
  SetActiveWindow(pWork->m_hWnd);
}

void CVelLeftMenuView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
