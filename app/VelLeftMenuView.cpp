#include "VelLeftMenuView.h"

#include "CBitmap.h"
#include "MainFrame.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelLeftMenuView, CView)

CVelLeftMenuView::CVelLeftMenuView()
    : m_menu({IDB_MENU_SERIAL_HOVER, IDB_MENU_SERIAL, IDB_MENU_SERIAL_BUSY}, "Download Firmware Image") {}

BOOL CVelLeftMenuView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg) m_menu.RelayEvent(pMsg);
  return CView::PreTranslateMessage(pMsg);
}

void CVelLeftMenuView::OnInitialUpdate() {
  CView::OnInitialUpdate();
  m_menu.Create(this);
}

void CVelLeftMenuView::OnSelectWorkView(UINT nID) {
  CFrameWnd* pFrame = GetParentFrame();
  if (pFrame && pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame))) static_cast<CMainFrame*>(pFrame)->SelectWorkView(nID);
}

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

void CVelLeftMenuView::OnDraw(CDC* pDC) {
  CBitmap background;
  background.LoadBitmap(IDB_MENU_SERIAL_BACK);
  const CRect client = GetClientRect();
  pDC->DrawBitmap(background, 0, 0, client.Width(), client.Height());
}
