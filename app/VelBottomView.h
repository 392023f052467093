// VelBottomView.h - the 700 x 51 strip at the bottom of the main window.
#pragma once

#include "CView.h"

class CVelBottomView : public CView {
  DECLARE_DYNCREATE(CVelBottomView)

 public:
  CVelBottomView() = default;

  void OnDraw(CDC* pDC) override;
};
