// VelUSBLeftMenuView.h - the 170 x 325 left pane in USB mode.
#pragma once

#include "CView.h"

class CVelUSBLeftMenuView : public CView {
  DECLARE_DYNCREATE(CVelUSBLeftMenuView)

 public:
  // Locks (TRUE) or unlocks the menu while a transfer runs.
  void SetBusy(BOOL bBusy) { m_bBusy = bBusy; }
  BOOL IsBusy() const { return m_bBusy; }

  void OnDraw(CDC* pDC) override;

  BEGIN_MSG_MAP(CVelUSBLeftMenuView)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    CHAIN_MSG_MAP(CView)
  END_MSG_MAP()

 protected:
  CVelUSBLeftMenuView() = default;

  BOOL OnEraseBkgnd(CDC* pDC);

  BOOL m_bBusy = FALSE;
  BOOL m_bButtonCreated = FALSE;
};
