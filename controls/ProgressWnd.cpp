#include "ProgressWnd.h"

#include "ProgressArithmetic.h"

IMPLEMENT_DYNAMIC(CProgressWnd, CWnd)

CProgressWnd::CProgressWnd()
    : m_crText(GetSysColor(COLOR_INFOTEXT)),
      m_crBar(GetSysColor(COLOR_INFOBK)),
      m_crBackground(GetSysColor(COLOR_BTNFACE)),
      m_nRange(100),
      m_nPos(0) {}

CProgressWnd::~CProgressWnd() {
  if (m_hWnd) DestroyWindow();
}

void CProgressWnd::SetPos(int pos) {
  m_nPos = pos;
  HWND hWnd = m_hWnd;
  if (hWnd) ::InvalidateRect(hWnd, nullptr, FALSE);
}

void CProgressWnd::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(m_hWnd, &ps);
  RECT r;
  ::GetClientRect(m_hWnd, &r);
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  if (dc && w > 0 && h > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    if (mem && bitmap) {
      HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
      HBRUSH background = CreateSolidBrush(m_crBackground);
      HBRUSH bar = CreateSolidBrush(m_crBar);
      FillRect(mem, &r, background);

      float fraction = ProgressFraction(m_nPos, m_nRange);
      int barRight = ProgressBarRight(w, fraction);
      char text[32];
      FormatProgressText(fraction, text, sizeof text);
      int oldMode = SetBkMode(mem, TRANSPARENT);
      COLORREF oldColour = SetTextColor(mem, m_crText);
      RECT textRect = r;
      DrawTextA(mem, text, -1, &textRect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      SetTextColor(mem, oldColour);
      SetBkMode(mem, oldMode);

      // XOR with the default black pen: the outline leaves its pixels as they are, so
      // only the interior of the bar is mixed with the bar colour.
      int oldRop = SetROP2(mem, R2_XORPEN);
      HGDIOBJ oldBrush = SelectObject(mem, bar);
      Rectangle(mem, r.left, r.top, barRight, r.bottom);
      SelectObject(mem, oldBrush);
      SetROP2(mem, oldRop);

      BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
      SelectObject(mem, oldBitmap);
      DeleteObject(background);
      DeleteObject(bar);
    }
    if (bitmap) DeleteObject(bitmap);
    if (mem) DeleteDC(mem);
  }
  ::EndPaint(m_hWnd, &ps);
}
