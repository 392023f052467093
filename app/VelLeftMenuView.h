// VelLeftMenuView.h - the 170 x 325 left pane in serial mode: its background and the DOWNLOAD IMAGE button; it hands the activation on to the work view.
#pragma once

#include "CView.h"
#include "LeftMenuButton.h"

class CVelLeftMenuView : public CView {
  DECLARE_DYNCREATE(CVelLeftMenuView)

 public:
  // Locks (TRUE) or unlocks the menu button while a transfer runs.
  void SetBusy(BOOL bBusy) { m_menu.SetBusy(bBusy); }
  BOOL IsBusy() const { return m_menu.m_bBusy; }
  CSkinButton& MenuButton() { return m_menu.m_btnMenu; }

  BOOL PreTranslateMessage(MSG* pMsg) override;
  void OnInitialUpdate() override;
  // Becoming the active view makes the work pane (0, 1) the active one instead.
  void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView) override;
  void OnDraw(CDC* pDC) override;

  BEGIN_MSG_MAP(CVelLeftMenuView)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    COMMAND_RANGE(1000, 1019, OnSelectWorkView)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

 protected:
  CVelLeftMenuView();

  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  void OnSelectWorkView(UINT nID);

  CLeftMenuButton m_menu;
};
