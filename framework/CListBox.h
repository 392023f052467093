// CListBox.h - a list box control: add a line, select, count, empty, scroll sideways to long lines.
#pragma once

#include <string>

#include "CWnd.h"

class CListBox : public CWnd {
  DECLARE_DYNAMIC(CListBox)

 public:
  CListBox() = default;

  // Index of the new line, or LB_ERR / LB_ERRSPACE.
  int AddString(LPCSTR lpszItem) {
    return static_cast<int>(::SendMessageA(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
  }
  int SetCurSel(int nSelect) { return static_cast<int>(::SendMessageA(m_hWnd, LB_SETCURSEL, nSelect, 0)); }
  int SetTopIndex(int nIndex) { return static_cast<int>(::SendMessageA(m_hWnd, LB_SETTOPINDEX, nIndex, 0)); }
  int GetCurSel() const { return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCURSEL, 0, 0)); }
  int GetCount() const { return static_cast<int>(::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0)); }
  // Empties the list; its horizontal extent goes back to 0 (no sideways scrolling).
  void ResetContent();
  // The text of line nIndex; empty when there is no such line.
  std::string GetText(int nIndex) const;
  // Appends a line and selects it, which scrolls it into view; the line's index or a negative value.
  int AddAndSelect(LPCSTR lpszItem);
  // Widens the horizontal extent so that this line, in the list's font, can be scrolled to
  // in full; it never narrows. A list with a horizontal scroll bar has none of its own.
  void GrowHorizontalExtent(LPCSTR lpszItem);
};
