#include "CSplitterWnd.h"

#include "CCreateContext.h"
#include "CFrameWnd.h"
#include "CPaintDC.h"
#include "CView.h"

IMPLEMENT_DYNAMIC(CSplitterWnd, CWnd)

namespace {
const int kMaxPanes = 16;  // per direction: ids are AFX_IDW_PANE_FIRST + 16 * row + col
}

BOOL CSplitterWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = EnsureClassRegistered("Stelvar.Splitter", CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), nullptr);
  cs.style |= WS_CLIPCHILDREN;  // the panes are never painted over
  return cs.lpszClass != nullptr;
}

BOOL CSplitterWnd::CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle, UINT nID) {
  if (m_hWnd || !pParentWnd || nRows < 1 || nCols < 1 || nRows > kMaxPanes || nCols > kMaxPanes) return FALSE;
  m_nRows = nRows;
  m_nCols = nCols;
  m_rowInfo.assign(static_cast<size_t>(nRows), CRowColInfo());
  m_colInfo.assign(static_cast<size_t>(nCols), CRowColInfo());
  return Create(nullptr, nullptr, dwStyle, CRect(0, 0, 0, 0), pParentWnd, nID);
}

BOOL CSplitterWnd::CreateView(int row, int col, const CRuntimeClass* pViewClass, SIZE sizeInit,
                              CCreateContext* pContext) {
  if (!m_hWnd || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols || GetPane(row, col)) return FALSE;
  m_colInfo[static_cast<size_t>(col)].nIdealSize = sizeInit.cx;
  m_rowInfo[static_cast<size_t>(row)].nIdealSize = sizeInit.cy;

  CObject* pObject = pViewClass ? pViewClass->CreateObject() : nullptr;
  if (!pObject) return FALSE;
  if (!pObject->IsKindOf(RUNTIME_CLASS(CView))) {
    delete pObject;
    return FALSE;
  }
  CCreateContext context;
  if (pContext) context = *pContext;
  context.m_pNewViewClass = pViewClass;
  // A view that cannot be made deletes itself.
  return static_cast<CView*>(pObject)->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE,
                                              CRect(CPoint(0, 0), sizeInit), this,
                                              static_cast<UINT>(IdFromRowCol(row, col)), &context);
}

void CSplitterWnd::DeleteView(int row, int col) {
  if (CWnd* pPane = GetPane(row, col)) pPane->DestroyWindow();
}

CWnd* CSplitterWnd::GetPane(int row, int col) const {
  if (!m_hWnd || row < 0 || row >= m_nRows || col < 0 || col >= m_nCols) return nullptr;
  return FromHandlePermanent(GetDlgItem(m_hWnd, IdFromRowCol(row, col)));
}

void CSplitterWnd::SetActivePane(int row, int col, CWnd* pWnd) {
  CWnd* pPane = pWnd ? pWnd : GetPane(row, col);
  if (!pPane) return;
  CFrameWnd* pFrame = GetParentFrame();
  if (pFrame && pPane->IsKindOf(RUNTIME_CLASS(CView)))
    pFrame->SetActiveView(static_cast<CView*>(pPane));
  else
    SetFocus(pPane->m_hWnd);
}

CWnd* CSplitterWnd::GetActivePane(int* pRow, int* pCol) const {
  CFrameWnd* pFrame = GetParentFrame();
  CView* pView = pFrame ? pFrame->GetActiveView() : nullptr;
  if (!pView || ::GetParent(pView->m_hWnd) != m_hWnd) return nullptr;
  const int id = pView->GetDlgCtrlID() - AFX_IDW_PANE_FIRST;
  if (pRow) *pRow = id / kMaxPanes;
  if (pCol) *pCol = id % kMaxPanes;
  return pView;
}

void CSplitterWnd::SetColumnInfo(int col, int cxIdeal, int cxMin) {
  if (col < 0 || col >= m_nCols) return;
  m_colInfo[static_cast<size_t>(col)].nIdealSize = cxIdeal;
  m_colInfo[static_cast<size_t>(col)].nMinSize = cxMin;
}

void CSplitterWnd::SetRowInfo(int row, int cyIdeal, int cyMin) {
  if (row < 0 || row >= m_nRows) return;
  m_rowInfo[static_cast<size_t>(row)].nIdealSize = cyIdeal;
  m_rowInfo[static_cast<size_t>(row)].nMinSize = cyMin;
}

void CSplitterWnd::LayoutRowCol(std::vector<CRowColInfo>& info, int nSize, int nGap) {
  int left = nSize > 0 ? nSize : 0;
  for (size_t i = 0; i < info.size(); ++i) {
    const bool last = i + 1 == info.size();
    int want = left;
    if (!last) want = info[i].nIdealSize < info[i].nMinSize ? 0 : info[i].nIdealSize;
    info[i].nCurSize = want < left ? (want > 0 ? want : 0) : left;
    left -= info[i].nCurSize;
    if (!last) left -= nGap < left ? nGap : left;
  }
}

CRect CSplitterWnd::GetPaneRect(int row, int col) const {
  int x = m_cxBorder;
  for (int c = 0; c < col; ++c) x += m_colInfo[static_cast<size_t>(c)].nCurSize + m_cxSplitterGap;
  int y = m_cyBorder;
  for (int r = 0; r < row; ++r) y += m_rowInfo[static_cast<size_t>(r)].nCurSize + m_cySplitterGap;
  return CRect(x, y, x + m_colInfo[static_cast<size_t>(col)].nCurSize, y + m_rowInfo[static_cast<size_t>(row)].nCurSize);
}

CRect CSplitterWnd::GetPaneBorderRect(int row, int col) const {
  CRect rect = GetPaneRect(row, col);
  rect.InflateRect(m_cxBorder, m_cyBorder);
  return rect;
}

CRect CSplitterWnd::GetColumnBarRect(int col) const {
  const CRect client = GetClientRect();
  const int left = GetPaneBorderRect(0, col).right - m_cxBorderShare;
  return CRect(left, client.top, left + m_cxSplitter, client.bottom);
}

CRect CSplitterWnd::GetRowBarRect(int row) const {
  const CRect client = GetClientRect();
  const int top = GetPaneBorderRect(row, 0).bottom - m_cyBorderShare;
  return CRect(client.left, top, client.right, top + m_cySplitter);
}

void CSplitterWnd::RecalcLayout() {
  if (!m_hWnd) return;
  const CRect client = GetClientRect();
  LayoutRowCol(m_colInfo, client.Width() - 2 * m_cxBorder, m_cxSplitterGap);
  LayoutRowCol(m_rowInfo, client.Height() - 2 * m_cyBorder, m_cySplitterGap);
  for (int row = 0; row < m_nRows; ++row) {
    for (int col = 0; col < m_nCols; ++col) {
      if (CWnd* pPane = GetPane(row, col)) {
        const CRect rect = GetPaneRect(row, col);
        pPane->MoveWindow(rect.left, rect.top, rect.Width(), rect.Height(), TRUE);
      }
    }
  }
  DrawAllSplitBars(nullptr, client.right - m_cxBorder, client.bottom - m_cyBorder);
}

void CSplitterWnd::DrawAllSplitBars(CDC* pDC, int cxInside, int cyInside) {
  for (int col = 0; col + 1 < m_nCols; ++col) {
    const CRect rect = GetColumnBarRect(col);
    if (rect.left > cxInside) break;
    OnDrawSplitter(pDC, splitBar, rect);
  }
  for (int row = 0; row + 1 < m_nRows; ++row) {
    const CRect rect = GetRowBarRect(row);
    if (rect.top > cyInside) break;
    OnDrawSplitter(pDC, splitBar, rect);
  }
  for (int col = 0; col < m_nCols; ++col)
    for (int row = 0; row < m_nRows; ++row) OnDrawSplitter(pDC, splitBorder, GetPaneBorderRect(row, col));
}

void CSplitterWnd::OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect) {
  if (!pDC) {
    RedrawWindow(&rect, RDW_INVALIDATE | RDW_NOCHILDREN);
    return;
  }
  if (nType == splitBorder) {
    // A sunken two-pixel edge around the pane.
    CRect edge = rect;
    pDC->Draw3dRect(edge, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    edge.InflateRect(-1, -1);
    pDC->Draw3dRect(edge, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
    return;
  }
  pDC->FillSolidRect(rect, GetSysColor(COLOR_BTNFACE));
}

void CSplitterWnd::OnPaint() {
  CPaintDC dc(this);
  const CRect client = GetClientRect();
  DrawAllSplitBars(&dc, client.right - m_cxBorder, client.bottom - m_cyBorder);
}

void CSplitterWnd::OnSize(UINT nType, int, int) {
  Default();
  if (nType != SIZE_MINIMIZED) RecalcLayout();
}
