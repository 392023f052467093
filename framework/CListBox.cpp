#include "CListBox.h"

#include <vector>

#include "CClientDC.h"

IMPLEMENT_DYNAMIC(CListBox, CWnd)

std::string CListBox::GetText(int nIndex) const {
  const LRESULT length = ::SendMessageA(m_hWnd, LB_GETTEXTLEN, nIndex, 0);
  if (length == LB_ERR) return std::string();
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  ::SendMessageA(m_hWnd, LB_GETTEXT, nIndex, reinterpret_cast<LPARAM>(text.data()));
  return text.data();
}

int CListBox::AddAndSelect(LPCSTR lpszItem) {
  const int index = AddString(lpszItem);
  if (index >= 0 && index < GetCount()) SetCurSel(index);
  return index;
}

void CListBox::ResetContent() {
  ::SendMessageA(m_hWnd, LB_RESETCONTENT, 0, 0);
  ::SendMessageA(m_hWnd, LB_SETHORIZONTALEXTENT, 0, 0);
}

void CListBox::GrowHorizontalExtent(LPCSTR lpszItem) {
  if (!m_hWnd || !lpszItem) return;
  // The list draws a line a few pixels in from its left edge; the margin keeps its end visible.
  const int kMargin = 6;
  SIZE size = {};
  {
    CClientDC dc(this);
    if (!dc.m_hDC) return;
    if (HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0))) dc.SelectObject(font);
    if (!::GetTextExtentPoint32A(dc.m_hDC, lpszItem, lstrlenA(lpszItem), &size)) return;
  }
  const LRESULT width = size.cx + kMargin;
  if (width > ::SendMessageA(m_hWnd, LB_GETHORIZONTALEXTENT, 0, 0))
    ::SendMessageA(m_hWnd, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}
