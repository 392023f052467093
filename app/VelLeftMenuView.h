// VelLeftMenuView.h - the 170 x 325 left pane in serial mode; it hands the activation on to the work view.
#pragma once

#include "CView.h"

class CVelLeftMenuView : public CView {
  DECLARE_DYNCREATE(CVelLeftMenuView)

 public:
  // Locks (TRUE) or unlocks the menu while a transfer runs.
  void SetBusy(BOOL bBusy) { m_bBusy = bBusy; }
  BOOL IsBusy() const { return m_bBusy; }

  // Becoming the active view makes the work pane (0, 1) the active one instead.
  void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView) override;
  void OnDraw(CDC* pDC) override;

 protected:
  CVelLeftMenuView() = default;

  BOOL m_bButtonCreated = FALSE;
  BOOL m_bBusy = FALSE;
};
