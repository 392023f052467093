// VelManView.h - the serial download view: the work pane (0, 1) in serial mode, a form view on template 101.
#pragma once

#include "CFormView.h"

class CVelManView : public CFormView {
  DECLARE_DYNCREATE(CVelManView)

 public:
  void OnDraw(CDC* pDC) override;

 protected:
  CVelManView();
};
