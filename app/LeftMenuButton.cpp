#include "LeftMenuButton.h"

#include <commctrl.h>

#include "CView.h"

namespace {
const COLORREF kMenuTransparent = RGB(255, 0, 0);
}  // namespace

void CLeftMenuButton::Create(CView* pView) {
  m_toolTip.Create(pView, TTS_ALWAYSTIP | TTS_NOPREFIX);
  if (m_bButtonCreated) return;
  m_btnMenu.Create("", 0, CRect(8, 39, 156, 82), pView, kButtonId);
  m_btnMenu.SetBitmaps(m_faces.hover, kMenuTransparent, m_faces.normal, kMenuTransparent);
  m_btnMenu.SetFlatFocus(FALSE, FALSE);
  m_btnMenu.SetFlat(TRUE);
  m_btnMenu.SetDrawBorder(FALSE);
  m_btnMenu.ShowWindow(SW_SHOW);
  m_bButtonCreated = TRUE;
  m_toolTip.AddTool(&m_btnMenu, m_tip);
}

void CLeftMenuButton::SetBusy(BOOL bBusy) {
  m_bBusy = bBusy;
  if (!m_btnMenu.m_hWnd) return;
  EnableWindow(m_btnMenu.m_hWnd, !bBusy);
  // The button face colour plus 0x1E1E1E as one 32-bit number.
  const COLORREF transparent = GetSysColor(COLOR_BTNFACE) + 0x1E1E1E;
  if (bBusy)
    m_btnMenu.SetBitmaps(m_faces.busy, transparent, m_faces.busy, transparent);
  else
    m_btnMenu.SetBitmaps(m_faces.hover, transparent, m_faces.normal, transparent);
}
