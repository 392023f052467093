#include "VelManUSBView.h"

#include "resource.h"

IMPLEMENT_DYNCREATE(CVelManUSBView, CFormView)

CVelManUSBView::CVelManUSBView() : CFormView(IDD_USB_VIEW) {}
