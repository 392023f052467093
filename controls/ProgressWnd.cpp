#include "ProgressWnd.h"

#include "ProgressArithmetic.h"

namespace {

const char* const kDefaultClassName = "StelvarProgressWnd";

}  // namespace

CProgressWnd::CProgressWnd()
    : m_crText(GetSysColor(COLOR_INFOTEXT)),
      m_crBar(GetSysColor(COLOR_INFOBK)),
      m_crBackground(GetSysColor(COLOR_BTNFACE)),
      m_nRange(100),
      m_nPos(0) {}

CProgressWnd::~CProgressWnd() {
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

ATOM CProgressWnd::RegisterDefaultClass() {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = StaticWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kDefaultClassName;
    return RegisterClassA(&wc);
  }();
  return atom;
}

BOOL CProgressWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                            HWND parent, UINT id) {
  if (m_hWnd) return FALSE;
  if (!className) {
    if (!RegisterDefaultClass()) return FALSE;
    className = kDefaultClassName;
  }
  HWND h = CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           GetModuleHandleA(nullptr), this);
  return h != nullptr;
}

void CProgressWnd::SetPos(int pos) {
  m_nPos = pos;
  if (m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CALLBACK CProgressWnd::StaticWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CProgressWnd* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<CProgressWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hWnd;
  } else {
    self = reinterpret_cast<CProgressWnd*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcA(hWnd, msg, wParam, lParam);
  LRESULT result = self->WindowProc(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
  }
  return result;
}

LRESULT CProgressWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole window
    default:
      return DefWindowProcA(m_hWnd, msg, wParam, lParam);
  }
}

void CProgressWnd::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT r;
  GetClientRect(m_hWnd, &r);
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
  EndPaint(m_hWnd, &ps);
}
