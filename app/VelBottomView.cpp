#include "VelBottomView.h"

#include "CBitmap.h"
#include "CPaintDC.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelBottomView, CView)

void CVelBottomView::OnPaint() {
  CPaintDC dc(this);
  CBitmap strip;
  strip.LoadBitmap(IDB_BOTTOM);
  const CRect client = GetClientRect();
  dc.DrawBitmap(strip, 0, 0, client.Width(), client.Height());
}
