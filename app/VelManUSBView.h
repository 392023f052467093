// VelManUSBView.h - the USB download view: the work pane (0, 1) in USB mode, a form view on template 212.
#pragma once

#include "CFormView.h"

class CVelManUSBView : public CFormView {
  DECLARE_DYNCREATE(CVelManUSBView)

 public:
  void OnDraw(CDC* pDC) override;

 protected:
  CVelManUSBView();
};
