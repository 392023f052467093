// LeftMenuButton.h - what the two left menus share: their one menu button, its tooltip, its faces and its lock.
//
// Each left menu owns one: the button (control id 1000 at (8, 39), 148 x 43) is made once,
// at the view's initial update, and is disabled and greyed while a transfer runs.
#pragma once

#include "CToolTipCtrl.h"
#include "SkinButton.h"

class CView;

class CLeftMenuButton {
 public:
  struct Faces {
    WORD hover;
    WORD normal;
    WORD busy;
  };
  static const UINT kButtonId = 1000;

  CLeftMenuButton(const Faces& faces, const char* tip) : m_faces(faces), m_tip(tip) {}

  // The tooltip, then (once) the button with its faces and options, shown, with its tool.
  void Create(CView* pView);
  // Enables or disables the button and gives it its idle or busy faces.
  void SetBusy(BOOL bBusy);
  void RelayEvent(MSG* pMsg) {
    if (m_toolTip.m_hWnd) m_toolTip.RelayEvent(pMsg);
  }

  CSkinButton m_btnMenu;
  CToolTipCtrl m_toolTip;
  BOOL m_bButtonCreated = FALSE;
  BOOL m_bBusy = FALSE;

 private:
  Faces m_faces;
  const char* m_tip;
};
