// CSplitterWnd.h - a static splitter: a fixed grid of view panes laid out by the bar metrics.
//
// Geometry, per direction (columns shown; rows alike): the panes sit m_cxBorder inside the
// client area, m_cxSplitterGap apart. Each column but the last takes its ideal width (none
// when that is below its minimum); the last takes what is left; once the space runs out,
// later columns get nothing. A pane's border rectangle is the pane inflated by m_cxBorder;
// the split bar between two columns is m_cxSplitter wide and starts m_cxBorderShare before
// the end of the left pane's border.
//
// Panes are the splitter's children with ids IdFromRowCol(row, col); they are views and
// delete themselves when destroyed. The base splitter does not track the mouse: its panes
// cannot be resized by dragging.
#pragma once

#include <vector>

#include "CSize.h"
#include "CWnd.h"
#include "FrameworkIds.h"

class CSplitterWnd : public CWnd {
  DECLARE_DYNAMIC(CSplitterWnd)

 public:
  enum ESplitType { splitBox, splitBar, splitIntersection, splitBorder };

  CSplitterWnd() = default;

  BOOL CreateStatic(CWnd* pParentWnd, int nRows, int nCols, DWORD dwStyle = WS_CHILD | WS_VISIBLE,
                    UINT nID = AFX_IDW_PANE_FIRST);
  // Creates a view of pViewClass in the pane, with sizeInit as the column's ideal width and
  // the row's ideal height. FALSE (and nothing in the pane) when the view cannot be made.
  virtual BOOL CreateView(int row, int col, const CRuntimeClass* pViewClass, SIZE sizeInit,
                          CCreateContext* pContext);
  // Destroys the pane's view (which deletes itself); the pane is empty afterwards.
  virtual void DeleteView(int row, int col);
  CWnd* GetPane(int row, int col) const;
  int IdFromRowCol(int row, int col) const { return AFX_IDW_PANE_FIRST + row * 16 + col; }
  int GetRowCount() const { return m_nRows; }
  int GetColumnCount() const { return m_nCols; }

  // Makes the pane's view (or pWnd) the frame's active view.
  void SetActivePane(int row, int col, CWnd* pWnd = nullptr);
  // The frame's active view if it is one of these panes (its row and column too), else null.
  CWnd* GetActivePane(int* pRow = nullptr, int* pCol = nullptr) const;

  // Lays the panes out in the client area and invalidates bars and borders.
  virtual void RecalcLayout();
  // Draws every split bar and pane border (invalidates them when pDC is null).
  virtual void DrawAllSplitBars(CDC* pDC, int cxInside, int cyInside);
  virtual void OnDrawSplitter(CDC* pDC, ESplitType nType, const CRect& rect);

  void SetColumnInfo(int col, int cxIdeal, int cxMin);
  void SetRowInfo(int row, int cyIdeal, int cyMin);
  // The pane's rectangle in client coordinates, as of the last layout.
  CRect GetPaneRect(int row, int col) const;

  BEGIN_MSG_MAP(CSplitterWnd)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_SIZE(OnSize)
  END_MSG_MAP()

 protected:
  struct CRowColInfo {
    int nMinSize = 0;
    int nIdealSize = 0;
    int nCurSize = 0;
  };

  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  void OnPaint();
  void OnSize(UINT nType, int cx, int cy);

  CRect GetPaneBorderRect(int row, int col) const;
  CRect GetColumnBarRect(int col) const;
  CRect GetRowBarRect(int row) const;
  static void LayoutRowCol(std::vector<CRowColInfo>& info, int nSize, int nGap);

  int m_nRows = 0;
  int m_nCols = 0;
  std::vector<CRowColInfo> m_rowInfo;
  std::vector<CRowColInfo> m_colInfo;

  // Bar metrics; derived classes may set their own in their constructor.
  int m_cxSplitter = 6, m_cySplitter = 6;          // width of a split bar
  int m_cxBorderShare = 1, m_cyBorderShare = 1;    // overlap of a bar with each pane border
  int m_cxSplitterGap = 8, m_cySplitterGap = 8;    // distance between two panes
  int m_cxBorder = 2, m_cyBorder = 2;              // border around each pane
};
