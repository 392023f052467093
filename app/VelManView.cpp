#include "VelManView.h"

#include "Placeholder.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelManView, CFormView)

CVelManView::CVelManView() : CFormView(IDD_VELMAN_VIEW) {}

void CVelManView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
