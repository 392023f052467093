// VelManSWUpgradeView.h - the placeholder work view (kind 1001): the form of template 242, nothing else.
#pragma once

#include "CFormView.h"

class CVelManSWUpgradeView : public CFormView {
  DECLARE_DYNCREATE(CVelManSWUpgradeView)

 protected:
  CVelManSWUpgradeView();
};
