// CDC.h - a drawing context: an HDC with the GDI operations the program's drawing uses.
//
// A CDC made from an HDC only borrows it and leaves it as it is (a colour handler's
// selections are meant to stay). One made by CreateCompatibleDC owns its memory context:
// before deleting it, it selects back the bitmap, font, pen and brush the context had
// before this object's first SelectObject of each kind, so that nothing the caller still
// owns stays selected. CPaintDC and CClientDC do the same before they give their context back.
#pragma once

#include <windows.h>

class CDC {
 public:
  CDC() = default;
  explicit CDC(HDC hDC) : m_hDC(hDC) {}
  virtual ~CDC();
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  // A memory context compatible with pDC (with the screen when pDC is null).
  BOOL CreateCompatibleDC(CDC* pDC);

  // Selects a bitmap, font, pen or brush; returns the object it replaces.
  HGDIOBJ SelectObject(HGDIOBJ hObject);
  // Selects back the objects the context had before this object's first selection of each kind.
  void RestoreSelections();
  void FillSolidRect(const RECT& rect, COLORREF color);
  // A 1-pixel frame: top and left edges in clrTopLeft, bottom and right edges in clrBottomRight.
  void Draw3dRect(const RECT& rect, COLORREF clrTopLeft, COLORREF clrBottomRight);
  POINT MoveTo(int x, int y);
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL BitBlt(int x, int y, int cx, int cy, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, cx, cy, pSrcDC ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
  }
  // Copies bitmap hBitmap, from its top-left corner, to (x, y) with size cx x cy (SRCCOPY).
  BOOL DrawBitmap(HBITMAP hBitmap, int x, int y, int cx, int cy);
  int DrawText(LPCSTR lpszText, RECT* pRect, UINT nFormat) {
    return ::DrawTextA(m_hDC, lpszText, -1, pRect, nFormat);
  }
  COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
  COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
  int SetBkMode(int nMode) { return ::SetBkMode(m_hDC, nMode); }

  HDC m_hDC = nullptr;

 protected:
  bool m_bOwned = false;

 private:
  // The context's own objects, in the order bitmap, font, pen, brush; null until replaced.
  HGDIOBJ m_original[4] = {nullptr, nullptr, nullptr, nullptr};
};
