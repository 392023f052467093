#include "VelManUSBView.h"

#include "Placeholder.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelManUSBView, CFormView)

CVelManUSBView::CVelManUSBView() : CFormView(IDD_USB_VIEW) {}

void CVelManUSBView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
