#include "CToolTipCtrl.h"

#include <commctrl.h>

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
  return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr);
}

void CToolTipCtrl::SetDelayTime(DWORD dwDuration, int iTime) {
  ::SendMessageA(m_hWnd, TTM_SETDELAYTIME, dwDuration, MAKELPARAM(iTime, 0));
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCSTR lpszText, const RECT* lpRectTool, UINT_PTR nIDTool) {
  if (!m_hWnd || !pWnd || !pWnd->m_hWnd) return FALSE;
  TTTOOLINFOA ti{};
  // The version 5 record: accepted by every comctl32, with or without a manifest.
  ti.cbSize = TTTOOLINFOA_V2_SIZE;
  ti.lpszText = const_cast<LPSTR>(lpszText);
  if (lpRectTool) {
    ti.hwnd = pWnd->m_hWnd;
    ti.uId = nIDTool;
    ti.rect = *lpRectTool;
  } else {
    // The window itself is the tool: its parent owns the tool, its handle is the id.
    HWND hParent = ::GetParent(pWnd->m_hWnd);
    ti.uFlags = TTF_IDISHWND;
    ti.hwnd = hParent ? hParent : pWnd->m_hWnd;
    ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
  }
  return static_cast<BOOL>(::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::RelayEvent(MSG* pMsg) {
  if (m_hWnd && pMsg) ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
}

int CToolTipCtrl::GetToolCount() const {
  return m_hWnd ? static_cast<int>(::SendMessageA(m_hWnd, TTM_GETTOOLCOUNT, 0, 0)) : 0;
}
