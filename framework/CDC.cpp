#include "CDC.h"

namespace {

// The slot of m_original for an object of this type, or -1 for one that is not kept.
int SelectionSlot(DWORD type) {
  switch (type) {
    case OBJ_BITMAP:
      return 0;
    case OBJ_FONT:
      return 1;
    case OBJ_PEN:
    case OBJ_EXTPEN:
      return 2;
    case OBJ_BRUSH:
      return 3;
    default:
      return -1;
  }
}

}  // namespace

CDC::~CDC() {
  if (m_bOwned && m_hDC) {
    RestoreSelections();
    DeleteDC(m_hDC);
  }
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
  const HGDIOBJ old = ::SelectObject(m_hDC, hObject);
  const int slot = hObject ? SelectionSlot(GetObjectType(hObject)) : -1;
  if (slot >= 0 && old && old != HGDI_ERROR && !m_original[slot]) m_original[slot] = old;
  return old;
}

void CDC::RestoreSelections() {
  for (HGDIOBJ& original : m_original) {
    if (original && m_hDC) ::SelectObject(m_hDC, original);
    original = nullptr;
  }
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
  if (m_hDC) return FALSE;
  m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
  m_bOwned = m_hDC != nullptr;
  return m_bOwned;
}

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
  const COLORREF old = ::SetBkColor(m_hDC, color);
  ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  ::SetBkColor(m_hDC, old);
}

void CDC::Draw3dRect(const RECT& rect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
  const int cx = rect.right - rect.left;
  const int cy = rect.bottom - rect.top;
  FillSolidRect({rect.left, rect.top, rect.left + cx - 1, rect.top + 1}, clrTopLeft);
  FillSolidRect({rect.left, rect.top, rect.left + 1, rect.top + cy - 1}, clrTopLeft);
  FillSolidRect({rect.left + cx - 1, rect.top, rect.left + cx, rect.top + cy}, clrBottomRight);
  FillSolidRect({rect.left, rect.top + cy - 1, rect.left + cx, rect.top + cy}, clrBottomRight);
}

POINT CDC::MoveTo(int x, int y) {
  POINT old{};
  MoveToEx(m_hDC, x, y, &old);
  return old;
}

BOOL CDC::DrawBitmap(HBITMAP hBitmap, int x, int y, int cx, int cy) {
  if (!hBitmap) return FALSE;
  HDC hMem = ::CreateCompatibleDC(m_hDC);
  if (!hMem) return FALSE;
  HGDIOBJ hOld = ::SelectObject(hMem, hBitmap);
  const BOOL ok = ::BitBlt(m_hDC, x, y, cx, cy, hMem, 0, 0, SRCCOPY);
  ::SelectObject(hMem, hOld);
  ::DeleteDC(hMem);
  return ok;
}
