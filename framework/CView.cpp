#include "CView.h"

#include "CCreateContext.h"
#include "CDocument.h"
#include "CFrameWnd.h"
#include "CPaintDC.h"

IMPLEMENT_DYNAMIC(CView, CWnd)

CView::~CView() {
  if (m_pDocument) m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = EnsureClassRegistered("Stelvar.View", CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                         reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return cs.lpszClass != nullptr;
}

int CView::OnCreate(LPCREATESTRUCTA lpcs) {
  if (Default() == -1) return -1;
  AttachToDocument(static_cast<const CCreateContext*>(lpcs->lpCreateParams));
  return 0;
}

void CView::AttachToDocument(const CCreateContext* pContext) {
  if (!m_pDocument && pContext && pContext->m_pCurrentDoc) pContext->m_pCurrentDoc->AddView(this);
}

void CView::OnDestroy() {
  if (CFrameWnd* pFrame = GetParentFrame(); pFrame && pFrame->GetActiveView() == this)
    pFrame->SetActiveView(nullptr, FALSE);
  Default();
}

void CView::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

int CView::OnMouseActivate(HWND, UINT, UINT) {
  const int result = static_cast<int>(Default());
  if (result == MA_NOACTIVATE || result == MA_NOACTIVATEANDEAT) return result;
  if (CFrameWnd* pFrame = GetParentFrame()) {
    HWND hFocus = GetFocus();
    if (pFrame->GetActiveView() != this)
      pFrame->SetActiveView(this);
    else if (hFocus != m_hWnd && !IsChild(m_hWnd, hFocus))
      OnActivateView(TRUE, this, this);  // already active: take the focus back
  }
  return result;
}

void CView::OnInitialUpdate() { Invalidate(TRUE); }

void CView::OnActivateView(BOOL bActivate, CView* pActivateView, CView*) {
  if (!bActivate || pActivateView != this) return;
  HWND hTop = GetAncestor(m_hWnd, GA_ROOT);
  if (hTop && GetActiveWindow() == hTop) SetFocus(m_hWnd);
}
