#include "SkinButton.h"

#include "CWinApp.h"

IMPLEMENT_DYNAMIC(CSkinButton, CButton)

CSkinButton::~CSkinButton() { FreeImages(); }

void CSkinButton::PreSubclassWindow() {
  // Keep the low byte of the style, with the button type replaced by owner drawing.
  const DWORD style = GetStyle();
  ::SendMessageA(m_hWnd, BM_SETSTYLE, (style & 0xFF) | BS_OWNERDRAW, TRUE);
  CButton::PreSubclassWindow();
}

void CSkinButton::FreeImages() {
  for (Image* image : {&m_imgHover, &m_imgNormal}) {
    if (image->hBitmap) DeleteObject(image->hBitmap);
    if (image->hMask) DeleteObject(image->hMask);
    *image = Image{};
  }
}

int CSkinButton::SetBitmaps(WORD nBitmapIn, COLORREF crTransColorIn, WORD nBitmapOut, COLORREF crTransColorOut) {
  // The program's resources; a missing one gives a null handle.
  HINSTANCE hInst = AfxGetInstanceHandle();
  auto load = [hInst](WORD id) {
    return static_cast<HBITMAP>(LoadImageA(hInst, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
  };
  return SetBitmaps(load(nBitmapIn), crTransColorIn, load(nBitmapOut), crTransColorOut);
}

int CSkinButton::SetBitmaps(HBITMAP hBitmapIn, COLORREF crTransColorIn, HBITMAP hBitmapOut,
                            COLORREF crTransColorOut) {
  FreeImages();
  if (hBitmapIn) {
    int result = TakeImage(m_imgHover, hBitmapIn, crTransColorIn);
    if (result == 0 && hBitmapOut) result = TakeImage(m_imgNormal, hBitmapOut, crTransColorOut);
    if (result != 0) {
      // The bitmaps were handed over: whatever was not stored goes too.
      if (hBitmapOut && m_imgNormal.hBitmap != hBitmapOut) DeleteObject(hBitmapOut);
      FreeImages();
      return result;
    }
  } else if (hBitmapOut) {
    // Without a hover image nothing is kept; the normal bitmap handed over is not leaked.
    DeleteObject(hBitmapOut);
  }
  if (m_hWnd) RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  return 0;
}

int CSkinButton::TakeImage(Image& image, HBITMAP hBitmap, COLORREF crTransparent) {
  image.hBitmap = hBitmap;
  image.crTransparent = crTransparent;
  BITMAP bm{};
  if (!GetObjectA(hBitmap, sizeof bm, &bm)) return 1;
  image.dwWidth = static_cast<DWORD>(bm.bmWidth);
  image.dwHeight = static_cast<DWORD>(bm.bmHeight);
  image.hMask = CreateMask(hBitmap, image.dwWidth, image.dwHeight, crTransparent);
  return image.hMask ? 0 : 2;
}

HBITMAP CSkinButton::CreateMask(HBITMAP hBitmap, DWORD dwWidth, DWORD dwHeight, COLORREF crTransparent) {
  HBITMAP hMask = CreateBitmap(static_cast<int>(dwWidth), static_cast<int>(dwHeight), 1, 1, nullptr);
  if (!hMask) return nullptr;
  HDC hdcSrc = CreateCompatibleDC(nullptr);
  HDC hdcDest = CreateCompatibleDC(nullptr);
  HGDIOBJ oldSrc = SelectObject(hdcSrc, hBitmap);
  HGDIOBJ oldDest = SelectObject(hdcDest, hMask);
  // Pixels of the transparent colour become 1 (white) in the mask, all others 0.
  const COLORREF oldBk = SetBkColor(hdcSrc, crTransparent);
  BitBlt(hdcDest, 0, 0, static_cast<int>(dwWidth), static_cast<int>(dwHeight), hdcSrc, 0, 0, SRCCOPY);
  // The mask ANDed into the bitmap (white text, black background): transparent pixels turn black.
  const COLORREF oldText = SetTextColor(hdcSrc, RGB(255, 255, 255));
  SetBkColor(hdcSrc, RGB(0, 0, 0));
  BitBlt(hdcSrc, 0, 0, static_cast<int>(dwWidth), static_cast<int>(dwHeight), hdcDest, 0, 0, SRCAND);
  SetTextColor(hdcSrc, oldText);
  SetBkColor(hdcSrc, oldBk);
  SelectObject(hdcSrc, oldSrc);
  SelectObject(hdcDest, oldDest);
  DeleteDC(hdcSrc);
  DeleteDC(hdcDest);
  return hMask;
}

void CSkinButton::SetFlat(BOOL bState) {
  m_bFlat = bState;
  if (m_hWnd) Invalidate(TRUE);
}

void CSkinButton::SetFlatFocus(BOOL bDrawFlatFocus, BOOL bRepaint) {
  m_bDrawFlatFocus = bDrawFlatFocus;
  if (bRepaint == TRUE && m_hWnd) Invalidate(TRUE);
}

void CSkinButton::OnMouseMove(UINT nFlags, CPoint point) {
  Default();
  if ((nFlags & MK_LBUTTON) && !m_bHover) return;
  if (!m_bFlat) return;
  HWND hActive = GetActiveWindow();
  HWND hOwner = GetWindow(m_hWnd, GW_OWNER);
  if (!hOwner) hOwner = ::GetParent(m_hWnd);
  if (GetCapture() != m_hWnd && hActive && hOwner) {
    m_bHover = TRUE;
    SetCapture(m_hWnd);
    Invalidate(TRUE);
    return;
  }
  POINT screen = point;
  ClientToScreen(m_hWnd, &screen);
  HWND hUnder = WindowFromPoint(screen);
  if (!hUnder || hUnder == m_hWnd) return;
  // The pointer has left the button.
  if (m_bHover == TRUE) {
    m_bHover = FALSE;
    Invalidate(TRUE);
  }
  // With the left button held the capture stays, so the press completes as usual (no click outside).
  if (!(nFlags & MK_LBUTTON)) ReleaseCapture();
}

void CSkinButton::CancelHover() {
  if (m_bFlat && m_bHover == TRUE) {
    m_bHover = FALSE;
    Invalidate(TRUE);
  }
}

void CSkinButton::OnKillFocus(HWND) {
  Default();
  CancelHover();
}

void CSkinButton::OnActivate(UINT nState, HWND, BOOL) {
  Default();
  if (nState == WA_INACTIVE) CancelHover();
}

void CSkinButton::OnEnable(BOOL bEnable) {
  Default();
  if (!bEnable) CancelHover();
}

void CSkinButton::OnCancelMode() {
  Default();
  CancelHover();
}

void CSkinButton::OnCaptureChanged(HWND hWndNew) {
  // The button taking the capture again (as its own press does) loses nothing.
  if (m_bHover && hWndNew != m_hWnd) {
    ReleaseCapture();
    Invalidate(TRUE);
  }
  Default();
}

void CSkinButton::OnLButtonDblClk(UINT nFlags, CPoint point) {
  // A double click is a second press, so it gives a second click.
  DefProc(WM_LBUTTONDOWN, nFlags, MAKELPARAM(point.x, point.y));
}

void CSkinButton::PaintParentBackground(CDC* pDC, const RECT& client) {
  HWND hParent = ::GetParent(m_hWnd);
  // The parent's control colour, or the button face when it has none.
  HBRUSH hbr = hParent ? reinterpret_cast<HBRUSH>(::SendMessageA(hParent, WM_CTLCOLORBTN,
                                                                  reinterpret_cast<WPARAM>(pDC->m_hDC),
                                                                  reinterpret_cast<LPARAM>(m_hWnd)))
                       : nullptr;
  if (!hbr || hbr == GetStockObject(NULL_BRUSH)) hbr = GetSysColorBrush(COLOR_BTNFACE);
  FillRect(pDC->m_hDC, &client, hbr);
  if (!hParent) return;
  // A parent that can print its client area (its artwork) shows it under the button.
  POINT origin = {0, 0};
  MapWindowPoints(m_hWnd, hParent, &origin, 1);
  POINT oldOrigin;
  SetViewportOrgEx(pDC->m_hDC, -origin.x, -origin.y, &oldOrigin);
  ::SendMessageA(hParent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(pDC->m_hDC), PRF_CLIENT);
  SetViewportOrgEx(pDC->m_hDC, oldOrigin.x, oldOrigin.y, nullptr);
}

void CSkinButton::DrawImage(CDC* pDC, const RECT& rect, const Image& image) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  const int x = rect.left + (w - static_cast<int>(image.dwWidth)) / 2;
  const int y = rect.top + (h - static_cast<int>(image.dwHeight)) / 2;
  CDC mem;
  if (!mem.CreateCompatibleDC(pDC)) return;
  HGDIOBJ old = mem.SelectObject(image.hMask);
  pDC->BitBlt(x, y, static_cast<int>(image.dwWidth), static_cast<int>(image.dwHeight), &mem, 0, 0, SRCAND);
  mem.SelectObject(image.hBitmap);
  pDC->BitBlt(x, y, static_cast<int>(image.dwWidth), static_cast<int>(image.dwHeight), &mem, 0, 0, SRCPAINT);
  mem.SelectObject(old);
}

void CSkinButton::DrawBorder(CDC* pDC, const RECT& rect) {
  if (m_bPressed)
    pDC->Draw3dRect(rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHILIGHT));
  else
    pDC->Draw3dRect(rect, GetSysColor(COLOR_BTNHILIGHT), GetSysColor(COLOR_BTNSHADOW));
}

void CSkinButton::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
  CDC target(lpDIS->hDC);
  const CRect client = GetClientRect();
  const RECT& item = lpDIS->rcItem;

  // Off screen when possible: a memory context holding a bitmap of the button's size.
  CDC mem;
  HBITMAP hBuffer = nullptr;
  HGDIOBJ oldBuffer = nullptr;
  CDC* pDC = &target;
  if (mem.CreateCompatibleDC(&target)) {
    hBuffer = CreateCompatibleBitmap(target.m_hDC, client.Width(), client.Height());
    if (hBuffer) {
      oldBuffer = mem.SelectObject(hBuffer);
      pDC = &mem;
    }
  }

  m_bPressed = (lpDIS->itemState & ODS_SELECTED) != 0;
  m_bFocused = (lpDIS->itemState & ODS_FOCUS) != 0;
  pDC->SetBkMode(TRANSPARENT);

  // What the face's uncovered pixels show: the parent's background where the button sits.
  if (pDC == &mem) PaintParentBackground(&mem, client);

  if (m_imgHover.hBitmap) {
    pDC->SetBkColor(RGB(255, 255, 255));
    const bool normal = !m_bHover && !m_bPressed && m_imgNormal.hBitmap;
    DrawImage(pDC, item, normal ? m_imgNormal : m_imgHover);
  }

  if (m_bFlat && m_bDrawBorder && (m_bPressed || m_bHover)) DrawBorder(pDC, item);

  if (m_bDrawFlatFocus && m_bFocused) {
    RECT focus = item;
    InflateRect(&focus, -3, -3);
    DrawFocusRect(pDC->m_hDC, &focus);
  }

  if (pDC == &mem) {
    target.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(oldBuffer);
    DeleteObject(hBuffer);
  }
}
