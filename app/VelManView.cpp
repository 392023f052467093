#include "VelManView.h"

#include "resource.h"

IMPLEMENT_DYNCREATE(CVelManView, CFormView)

CVelManView::CVelManView() : CFormView(IDD_VELMAN_VIEW) {}
