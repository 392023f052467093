// CButton.h - a button control whose owner drawing is reflected back to its own object (DrawItem).
#pragma once

#include "CWnd.h"

class CButton : public CWnd {
  DECLARE_DYNAMIC(CButton)

 public:
  CButton() = default;

  BOOL Create(LPCSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  // Draws an owner-drawn (BS_OWNERDRAW) button; the base draws nothing.
  virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

  BEGIN_MSG_MAP(CButton)
    REFLECTED_DRAWITEM(DrawItem)
  END_MSG_MAP()
};
