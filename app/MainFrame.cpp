#include "MainFrame.h"

#include "CDocument.h"
#include "CView.h"
#include "CWaitCursor.h"
#include "UserMessages.h"
#include "VelBottomView.h"
#include "VelLeftMenuView.h"
#include "VelManSWUpgradeView.h"
#include "VelManUSBView.h"
#include "VelManView.h"
#include "VelTopView.h"
#include "VelUSBLeftMenuView.h"
#include "WindowShape.h"

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

namespace {
const int kTopHeight = 124;
const int kSplitterHeight = 325;
const int kBottomHeight = 51;
const int kLeftMenuWidth = 170;
const int kWorkViewWidth = 150;  // ideal width given to pane (0, 1); the last column takes the rest
}  // namespace

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
  // No border, sizing frame or maximize box; a dialog frame instead. The window system
  // still gives the top-level window its caption.
  cs.style = (cs.style & 0xFF7AFFFF) | WS_DLGFRAME;
  return TRUE;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCTA, CCreateContext* pContext) {
  // A view that cannot be made leaves its place empty; everything below copes with that.
  m_wndSplitter.CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST);
  m_wndSplitter.CreateView(0, 0, RUNTIME_CLASS(CVelLeftMenuView), CSize(kLeftMenuWidth, kSplitterHeight), pContext);
  m_wndSplitter.CreateView(0, 1, RUNTIME_CLASS(CVelManView), CSize(kWorkViewWidth, kSplitterHeight), pContext);
  m_wndSplitter.SetActivePane(0, 1);

  m_pTopView = new CVelTopView;
  if (!m_pTopView->Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, kClientWidth, kTopHeight), this, 0, pContext))
    m_pTopView = nullptr;  // it has deleted itself
  m_pBottomView = new CVelBottomView;
  if (!m_pBottomView->Create(nullptr, nullptr, WS_CHILD, CRect(0, 0, kClientWidth, kBottomHeight), this, 0,
                             pContext))
    m_pBottomView = nullptr;
  return TRUE;
}

void CMainFrame::RecalcLayout(BOOL) {
  // Nothing is laid out automatically: the size handler puts every child in its fixed place.
}

void CMainFrame::OnUpdateFrameTitle(BOOL) {
  // Never a document name: the title stays "Stelvar v1.0.2".
  if (GetStyle() & FWS_ADDTOTITLE) SetWindowTextA(m_hWnd, m_strTitle.c_str());
}

void CMainFrame::OnSize(UINT nType, int cx, int cy) {
  CFrameWnd::OnSize(nType, cx, cy);
  if (nType == SIZE_MINIMIZED) return;  // an icon keeps its own size and place

  const CRect fixed = CWindowShape::FixedWindowRect(m_hWnd, kClientWidth, kClientHeight);
  if (fixed != GetWindowRect()) MoveWindow(fixed.left, fixed.top, fixed.Width(), fixed.Height(), TRUE);

  if (m_wndSplitter.m_hWnd) m_wndSplitter.MoveWindow(0, kTopHeight, kClientWidth, kSplitterHeight, TRUE);
  const struct {
    CWnd* pView;
    int y;
    int cy;
  } strips[] = {{m_pTopView, 0, kTopHeight}, {m_pBottomView, kTopHeight + kSplitterHeight, kBottomHeight}};
  for (const auto& strip : strips) {
    if (!strip.pView || !strip.pView->m_hWnd) continue;
    strip.pView->MoveWindow(0, strip.y, kClientWidth, strip.cy, TRUE);
    if (!strip.pView->IsWindowVisible()) strip.pView->ShowWindow(SW_SHOW);
  }
}

void CMainFrame::OnMoving(UINT, LPRECT) {
  Default();
  // The full window stays shown while it is being dragged.
  if (m_pTopView) m_pTopView->RestartShapeTimer();
}

BOOL CMainFrame::IsCloseGreyed(HWND hWnd) {
  const UINT state = GetMenuState(::GetSystemMenu(hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & MF_GRAYED);
}

void CMainFrame::OnClose() {
  // While a transfer runs the program is not closed by any route, queued or sent.
  if (IsCloseGreyed(m_hWnd)) return;
  CFrameWnd::OnClose();
}

BOOL CMainFrame::DestroyWindow() {
  m_pTopView = nullptr;
  m_pBottomView = nullptr;
  return CFrameWnd::DestroyWindow();
}

CView* CMainFrame::PaneView(int col) const {
  CWnd* pPane = m_wndSplitter.GetPane(0, col);
  return pPane && pPane->IsKindOf(RUNTIME_CLASS(CView)) ? static_cast<CView*>(pPane) : nullptr;
}

CCreateContext CMainFrame::PaneContext() const {
  CCreateContext context;
  CView* pWork = PaneView(1);
  context.m_pCurrentDoc = pWork && pWork->GetDocument() ? pWork->GetDocument() : m_pDocument;
  context.m_pNewDocTemplate = context.m_pCurrentDoc ? context.m_pCurrentDoc->GetDocTemplate() : nullptr;
  context.m_pCurrentFrame = const_cast<CMainFrame*>(this);
  return context;
}

void CMainFrame::SwitchMode(int nMode) {
  CCreateContext context = PaneContext();
  if ((nMode != kSerialMode && nMode != kUsbMode) || nMode == m_nMode) return;

  // Work view first, so that the serial and the USB download views never exist together.
  m_wndSplitter.DeleteView(0, 1);
  m_wndSplitter.DeleteView(0, 0);
  const bool usb = nMode == kUsbMode;
  m_wndSplitter.CreateView(0, 0, usb ? RUNTIME_CLASS(CVelUSBLeftMenuView) : RUNTIME_CLASS(CVelLeftMenuView),
                           CSize(kLeftMenuWidth, kSplitterHeight), &context);
  m_wndSplitter.CreateView(0, 1, usb ? RUNTIME_CLASS(CVelManUSBView) : RUNTIME_CLASS(CVelManView),
                           CSize(kWorkViewWidth, kSplitterHeight), &context);
  m_wndSplitter.SetActivePane(0, 1);
  m_nMode = nMode;

  CView* pWork = PaneView(1);
  CView* pLeft = PaneView(0);
  if (pWork) SetActiveView(pWork, TRUE);
  RecalcLayout();
  // Views made after start-up get their initial update here.
  if (pWork) pWork->OnInitialUpdate();
  if (pLeft) pLeft->OnInitialUpdate();
  m_wndSplitter.SetActivePane(0, 1);
  m_wndSplitter.RecalcLayout();
  m_wndSplitter.Invalidate(TRUE);
  m_nWorkView = kSerialWorkView;
}

void CMainFrame::SelectWorkView(UINT nID) {
  CWaitCursor wait;
  if (nID == static_cast<UINT>(m_nWorkView)) return;
  const CRuntimeClass* pClass = nullptr;
  if (nID == kSerialWorkView) pClass = RUNTIME_CLASS(CVelManView);
  if (nID == kUpgradeWorkView) pClass = RUNTIME_CLASS(CVelManSWUpgradeView);
  if (!pClass) return;
  m_nWorkView = static_cast<int>(nID);

  CCreateContext context = PaneContext();
  m_wndSplitter.DeleteView(0, 1);
  m_wndSplitter.CreateView(0, 1, pClass, CSize(kWorkViewWidth, 0), &context);
  if (CView* pWork = PaneView(1)) {
    SetActiveView(pWork, TRUE);
    pWork->OnInitialUpdate();
  }
  m_wndSplitter.SetActivePane(0, 1);
  m_wndSplitter.RecalcLayout();
  m_wndSplitter.Invalidate(TRUE);
}

void CMainFrame::SetBusy(BOOL bBusy) {
  if (m_pTopView) {
    m_pTopView->m_bLocked = bBusy;
    // A frame the pointer left on a tab before the lock would stay until the next move.
    m_pTopView->ClearHotSpotFrames();
  }
  // Close is greyed even if the left pane is missing: closing must not end a transfer.
  EnableMenuItem(GetSystemMenu(FALSE), SC_CLOSE, MF_BYCOMMAND | (bBusy ? MF_GRAYED : MF_ENABLED));
  CWnd* pLeft = m_wndSplitter.GetPane(0, 0);
  if (!pLeft) return;
  if (pLeft->IsKindOf(RUNTIME_CLASS(CVelLeftMenuView)))
    static_cast<CVelLeftMenuView*>(pLeft)->SetBusy(bBusy);
  else if (pLeft->IsKindOf(RUNTIME_CLASS(CVelUSBLeftMenuView)))
    static_cast<CVelUSBLeftMenuView*>(pLeft)->SetBusy(bBusy);
}

LRESULT CMainFrame::ShowAbout() {
  CWnd* pWork = m_wndSplitter.GetPane(0, 1);
  return pWork ? ::SendMessageA(pWork->m_hWnd, WM_SHOW_ABOUT, 0, 0) : 0;
}

void CMainFrame::SetWindowShape(BOOL bRect) {
  m_bRectShape = bRect;
  CWindowShape::Apply(m_hWnd, bRect, kClientWidth, kClientHeight);
}
