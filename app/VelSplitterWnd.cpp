#include "VelSplitterWnd.h"

#include "AppColors.h"

IMPLEMENT_DYNAMIC(CVelSplitterWnd, CSplitterWnd)

CVelSplitterWnd::CVelSplitterWnd() {
  m_cxSplitter = m_cySplitter = 0;
  m_cxBorderShare = m_cyBorderShare = 0;
  m_cxSplitterGap = m_cySplitterGap = 1;
  m_cxBorder = m_cyBorder = 0;
}

void CVelSplitterWnd::DrawAllSplitBars(CDC* pDC, int cxInside, int cyInside) {
  for (int col = 0; col + 1 < m_nCols; ++col) {
    const CRect rect = GetColumnBarRect(col);
    if (rect.left > cxInside) break;
    OnDrawSplitter(pDC, splitBar, rect, -1, col);
  }
  for (int row = 0; row + 1 < m_nRows; ++row) {
    const CRect rect = GetRowBarRect(row);
    if (rect.top > cyInside) break;
    OnDrawSplitter(pDC, splitBar, rect, row, -1);
  }
  for (int col = 0; col < m_nCols; ++col)
    for (int row = 0; row < m_nRows; ++row) OnDrawSplitter(pDC, splitBorder, GetPaneBorderRect(row, col), row, col);
}

void CVelSplitterWnd::OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect, int, int nCol) {
  if (!pDC) {
    RedrawWindow(&rect, RDW_INVALIDATE | RDW_NOCHILDREN);
    return;
  }
  if (nType != splitBorder) {
    pDC->FillSolidRect(rect, GetSysColor(COLOR_BTNFACE));
    return;
  }
  pDC->FillSolidRect(rect, kBackgroundColor);
  if (nCol != 0) return;
  // The gap right of the left menu, with its one marker pixel.
  HPEN hBack = CreatePen(PS_SOLID, 1, kBackgroundColor);
  HPEN hMark = CreatePen(PS_SOLID, 1, kGapMarkColor);
  HGDIOBJ hOld = pDC->SelectObject(hBack);
  pDC->MoveTo(rect.right, rect.top);
  pDC->LineTo(rect.right, rect.bottom);
  pDC->MoveTo(rect.right + 1, rect.top);
  pDC->LineTo(rect.right + 1, rect.bottom);
  pDC->SelectObject(hMark);
  pDC->MoveTo(rect.right, rect.top + 54);
  pDC->LineTo(rect.right + 1, rect.top + 54);
  pDC->SelectObject(hOld);
  DeleteObject(hBack);
  DeleteObject(hMark);
}
