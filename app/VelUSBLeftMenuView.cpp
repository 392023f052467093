#include "VelUSBLeftMenuView.h"

#include "AppColors.h"
#include "Placeholder.h"

IMPLEMENT_DYNCREATE(CVelUSBLeftMenuView, CView)

BOOL CVelUSBLeftMenuView::OnEraseBkgnd(CDC* pDC) {
  pDC->FillSolidRect(GetClientRect(), kBackgroundColor);
  return TRUE;
}

void CVelUSBLeftMenuView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
