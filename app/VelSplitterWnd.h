// VelSplitterWnd.h - the main window's splitter: no bars, a 1-pixel gap, no reaction to the mouse, the program's colours.
//
// What shows of it is the gap at x = 170 in the background colour, with one darker pixel
// 54 below its top.
#pragma once

#include "CSplitterWnd.h"

class CVelSplitterWnd : public CSplitterWnd {
  DECLARE_DYNAMIC(CVelSplitterWnd)

 public:
  CVelSplitterWnd();

  void DrawAllSplitBars(CDC* pDC, int cxInside, int cyInside) override;
  using CSplitterWnd::OnDrawSplitter;
  // As the base's, with the row and column of the bar or pane drawn (-1 where none applies).
  virtual void OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect, int nRow, int nCol);

  BEGIN_MSG_MAP(CVelSplitterWnd)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_LBUTTONDOWN(OnLButtonDown)
    CHAIN_MSG_MAP(CSplitterWnd)
  END_MSG_MAP()

 protected:
  // The panes cannot be resized, and the cursor never changes over the gap.
  void OnMouseMove(UINT, CPoint) {}
  void OnLButtonDown(UINT, CPoint) {}
};
