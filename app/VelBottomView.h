// VelBottomView.h - the 700 x 51 strip at the bottom of the main window: one bitmap.
#pragma once

#include "CView.h"

class CVelBottomView : public CView {
  DECLARE_DYNCREATE(CVelBottomView)

 public:
  CVelBottomView() = default;

  // Does nothing: the paint handler draws the strip.
  void OnDraw(CDC*) override {}

  BEGIN_MSG_MAP(CVelBottomView)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    MSG_WM_PAINT(OnPaint)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

 protected:
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  void OnPaint();
};
