#include "VelBottomView.h"

#include "Placeholder.h"

IMPLEMENT_DYNCREATE(CVelBottomView, CView)

void CVelBottomView::OnDraw(CDC* pDC) { DrawPlaceholder(pDC, this); }
