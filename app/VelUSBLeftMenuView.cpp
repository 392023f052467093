#include "VelUSBLeftMenuView.h"

#include "AppColors.h"
#include "CBitmap.h"
#include "resource.h"

IMPLEMENT_DYNCREATE(CVelUSBLeftMenuView, CView)

CVelUSBLeftMenuView::CVelUSBLeftMenuView()
    : m_menu({IDB_MENU_USB_HOVER, IDB_MENU_USB, IDB_MENU_USB_BUSY}, "USB Download") {}

BOOL CVelUSBLeftMenuView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg) m_menu.RelayEvent(pMsg);
  return CView::PreTranslateMessage(pMsg);
}

void CVelUSBLeftMenuView::OnInitialUpdate() {
  CView::OnInitialUpdate();
  m_menu.Create(this);
}

BOOL CVelUSBLeftMenuView::OnEraseBkgnd(CDC* pDC) {
  pDC->FillSolidRect(GetClientRect(), kBackgroundColor);
  return TRUE;
}

void CVelUSBLeftMenuView::OnDraw(CDC* pDC) {
  CBitmap background;
  background.LoadBitmap(IDB_MENU_USB_BACK);
  const CRect client = GetClientRect();
  pDC->DrawBitmap(background, 0, 0, client.Width(), client.Height());
}
