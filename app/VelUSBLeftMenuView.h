// VelUSBLeftMenuView.h - the 170 x 325 left pane in USB mode: its background and the USB DOWNLOAD button, which does nothing.
#pragma once

#include "CView.h"
#include "LeftMenuButton.h"

class CVelUSBLeftMenuView : public CView {
  DECLARE_DYNCREATE(CVelUSBLeftMenuView)

 public:
  // Locks (TRUE) or unlocks the menu button while a transfer runs.
  void SetBusy(BOOL bBusy) { m_menu.SetBusy(bBusy); }
  BOOL IsBusy() const { return m_menu.m_bBusy; }
  CSkinButton& MenuButton() { return m_menu.m_btnMenu; }

  BOOL PreTranslateMessage(MSG* pMsg) override;
  void OnInitialUpdate() override;
  void OnDraw(CDC* pDC) override;

  BEGIN_MSG_MAP(CVelUSBLeftMenuView)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

 protected:
  CVelUSBLeftMenuView();

  BOOL OnEraseBkgnd(CDC* pDC);

  CLeftMenuButton m_menu;
};
