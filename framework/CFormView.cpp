#include "CFormView.h"

#include "CFrameWnd.h"

IMPLEMENT_DYNAMIC(CFormView, CView)

BOOL CFormView::Create(LPCSTR, LPCSTR, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                       CCreateContext* pContext) {
  if (!pParentWnd || !CreateDialogChild(m_nIDTemplate, pParentWnd)) return FALSE;
  SetWindowLongPtrA(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(nID));
  SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  AttachToDocument(pContext);
  if (dwStyle & WS_VISIBLE) ShowWindow(SW_SHOWNORMAL);
  return TRUE;
}

void CFormView::OnInitialUpdate() {
  UpdateData(FALSE);
  CView::OnInitialUpdate();
}

BOOL CFormView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST) return FALSE;
  if (pMsg->hwnd != m_hWnd && !IsChild(m_hWnd, pMsg->hwnd)) return FALSE;
  // IsDialogMessage would swallow the frames' accelerators (F1): let the frames try first.
  for (CFrameWnd* pFrame = GetParentFrame(); pFrame; pFrame = pFrame->GetParentFrame())
    if (pFrame->PreTranslateMessage(pMsg)) return TRUE;
  return IsDialogMessageA(m_hWnd, pMsg);
}
