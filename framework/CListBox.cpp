#include "CListBox.h"

#include <vector>

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
