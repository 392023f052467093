#include "VelManSWUpgradeView.h"

#include "resource.h"

IMPLEMENT_DYNCREATE(CVelManSWUpgradeView, CFormView)

CVelManSWUpgradeView::CVelManSWUpgradeView() : CFormView(IDD_SWUPGRADE_VIEW) {}
