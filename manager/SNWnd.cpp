#include "SNWnd.h"

#include <windowsx.h>

#include <cstring>

CSNWnd::CSNWnd()
    : m_hWhiteBrush(static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))),
      m_hFaceBrush(CreateSolidBrush(GetSysColor(COLOR_BTNFACE))) {}

CSNWnd::~CSNWnd() {
  if (m_hFaceBrush) DeleteObject(m_hFaceBrush);
}

int CSNWnd::IsClassName(const char* name) const {
  return name && std::strcmp(name, m_pszClassName) == 0 ? 1 : 0;
}

void CSNWnd::OnLButtonDown(UINT, int, int) { SetFocus(m_hWnd); }
void CSNWnd::OnRButtonDown(UINT, int, int) { SetFocus(m_hWnd); }
void CSNWnd::OnMButtonDown(UINT, int, int) { SetFocus(m_hWnd); }

LRESULT CSNWnd::OnCommand(UINT id, UINT, HWND) {
  if (id == IDOK) OnOK();
  if (id == IDCANCEL) OnCancel();
  return 1;
}

HBRUSH CSNWnd::OnCtlColor(HDC dc, HWND, int kind) {
  switch (kind) {
    case 1:  // edit
    case 2:  // list box
      SetBkColor(dc, RGB(255, 255, 255));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return m_hWhiteBrush;
    case 3:  // button
      return m_hFaceBrush;
    default:  // message box, dialog, scroll bar, static
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      return m_hFaceBrush;
  }
}

LRESULT CSNWnd::Route(UINT msg, WPARAM wParam, LPARAM lParam, bool& answered) {
  answered = true;
  const int x = GET_X_LPARAM(lParam);
  const int y = GET_Y_LPARAM(lParam);
  const UINT w = static_cast<UINT>(wParam);
  switch (msg) {
    case WM_CREATE: OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam)); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_SIZE: OnSize(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_ACTIVATE: OnActivate(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam)); return 0;
    case WM_SETFOCUS: OnSetFocus(reinterpret_cast<HWND>(wParam)); return 0;
    case WM_KILLFOCUS: OnKillFocus(reinterpret_cast<HWND>(wParam)); return 0;
    case WM_ENABLE: OnEnable(static_cast<BOOL>(wParam)); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_SHOWWINDOW: OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)); return 0;
    case WM_ACTIVATEAPP: OnActivateApp(static_cast<BOOL>(wParam), static_cast<DWORD>(lParam)); return 0;
    case WM_CHILDACTIVATE: OnChildActivate(); return 0;
    case WM_KEYDOWN: OnKeyDown(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_KEYUP: OnKeyUp(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_CHAR: OnChar(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SYSKEYDOWN: OnSysKeyDown(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SYSKEYUP: OnSysKeyUp(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SYSCHAR: OnSysChar(w, LOWORD(lParam), HIWORD(lParam)); return 0;
    case WM_SYSCOMMAND: OnSysCommand(w, x, y); return 0;
    case WM_HSCROLL: OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_VSCROLL: OnVScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
    case WM_MOUSEMOVE: OnMouseMove(w, x, y); return 0;
    case WM_LBUTTONDOWN: OnLButtonDown(w, x, y); return 0;
    case WM_LBUTTONUP: OnLButtonUp(w, x, y); return 0;
    case WM_LBUTTONDBLCLK: OnLButtonDblClk(w, x, y); return 0;
    case WM_RBUTTONDOWN: OnRButtonDown(w, x, y); return 0;
    case WM_RBUTTONUP: OnRButtonUp(w, x, y); return 0;
    case WM_RBUTTONDBLCLK: OnRButtonDblClk(w, x, y); return 0;
    case WM_MBUTTONDOWN: OnMButtonDown(w, x, y); return 0;
    case WM_MBUTTONUP: OnMButtonUp(w, x, y); return 0;
    case WM_MBUTTONDBLCLK: OnMButtonDblClk(w, x, y); return 0;
    case WM_PARENTNOTIFY: OnParentNotify(LOWORD(wParam), HIWORD(wParam), lParam); return 0;
    case WM_SIZING: OnSizing(w, reinterpret_cast<LPRECT>(lParam)); return 0;
    case WM_TIMER:
      if (lParam)
        reinterpret_cast<TIMERPROC>(lParam)(m_hWnd, WM_TIMER, wParam, GetTickCount());
      else
        OnTimer(wParam);
      return 0;
    case WM_ERASEBKGND: return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    case WM_NOTIFY: return OnNotify(static_cast<int>(wParam), reinterpret_cast<LPNMHDR>(lParam));
    case WM_INITDIALOG: return OnInitDialog(reinterpret_cast<HWND>(wParam), lParam);
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_MOUSEWHEEL:
      return OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)), x, y);
    default:
      if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC)
        return reinterpret_cast<LRESULT>(OnCtlColor(reinterpret_cast<HDC>(wParam),
                                                    reinterpret_cast<HWND>(lParam),
                                                    static_cast<int>(msg - WM_CTLCOLORMSGBOX)));
      answered = false;
      return 0;
  }
}

LRESULT CSNWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
  bool answered = false;
  const LRESULT r = Route(msg, wParam, lParam, answered);
  // Messages whose handler gives an answer return it; the rest go on to the default handling.
  const bool early = answered && (msg == WM_ERASEBKGND || msg == WM_NOTIFY || msg == WM_INITDIALOG ||
                                  msg == WM_COMMAND || msg == WM_MOUSEWHEEL ||
                                  (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC));
  return early ? r : DefWindowProcA(m_hWnd, msg, wParam, lParam);
}
