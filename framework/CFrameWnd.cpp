#include "CFrameWnd.h"

#include "CCreateContext.h"
#include "CDocument.h"
#include "CView.h"
#include "CWinApp.h"
#include "ResourceText.h"

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)

const char CFrameWnd::kWindowClass[] = "Stelvar.Frame";

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = EnsureClassRegistered(kWindowClass, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                         reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return cs.lpszClass != nullptr;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext) {
  const std::string fields = AfxLoadStringA(nIDResource);
  m_strTitle = fields.substr(0, fields.find('\n'));
  HINSTANCE hInst = AfxGetInstanceHandle();
  m_hAccelTable = LoadAcceleratorsA(hInst, MAKEINTRESOURCEA(nIDResource));

  if (!CreateEx(0, nullptr, m_strTitle.c_str(), dwDefaultStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr, pContext))
    return FALSE;

  // Shared icons: they belong to the module and are never destroyed by hand.
  for (int which : {ICON_BIG, ICON_SMALL}) {
    const bool big = which == ICON_BIG;
    HANDLE hIcon = LoadImageA(hInst, MAKEINTRESOURCEA(nIDResource), IMAGE_ICON,
                              GetSystemMetrics(big ? SM_CXICON : SM_CXSMICON),
                              GetSystemMetrics(big ? SM_CYICON : SM_CYSMICON), LR_SHARED);
    if (hIcon) ::SendMessageA(m_hWnd, WM_SETICON, which, reinterpret_cast<LPARAM>(hIcon));
  }
  if (!pContext) SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
  return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCTA lpcs) {
  if (Default() == -1) return -1;
  auto* pContext = static_cast<CCreateContext*>(lpcs->lpCreateParams);
  if (pContext) m_pDocument = pContext->m_pCurrentDoc;
  if (!OnCreateClient(lpcs, pContext)) return -1;
  RecalcLayout();
  return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCTA, CCreateContext* pContext) {
  return !pContext || !pContext->m_pNewViewClass || CreateView(pContext) != nullptr;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID) {
  if (!pContext || !pContext->m_pNewViewClass) return nullptr;
  CObject* pObject = pContext->m_pNewViewClass->CreateObject();
  if (!pObject) return nullptr;
  if (!pObject->IsKindOf(RUNTIME_CLASS(CView))) {  // views delete themselves when they fail
    delete pObject;
    return nullptr;
  }
  auto* pView = static_cast<CWnd*>(pObject);
  HWND hView = nullptr;
  if (pView->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, nID, pContext))
    hView = pView->m_hWnd;
  return FromHandlePermanent(hView);  // a failed view has deleted itself
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible) {
  if (!m_pViewActive) {
    CWnd* pPane = FromHandlePermanent(GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST));
    if (pPane && pPane->IsKindOf(RUNTIME_CLASS(CView))) SetActiveView(static_cast<CView*>(pPane), FALSE);
  }
  SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
  if (!m_pDocument) m_pDocument = pDoc;
  OnUpdateFrameTitle(TRUE);
  if (bMakeVisible && !IsWindowVisible()) ShowWindow(SW_SHOW);
}

void CFrameWnd::RecalcLayout(BOOL) {
  if (m_bInRecalcLayout) return;
  m_bInRecalcLayout = TRUE;
  if (HWND hPane = GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST)) {
    const CRect client = GetClientRect();
    ::MoveWindow(hPane, 0, 0, client.Width(), client.Height(), TRUE);
  }
  m_bInRecalcLayout = FALSE;
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle) {
  if (!(GetStyle() & FWS_ADDTOTITLE)) return;
  std::string text = m_strTitle;
  CDocument* pDoc = GetActiveDocument();
  if (bAddToTitle && pDoc && !pDoc->GetTitle().empty()) text = pDoc->GetTitle() + " - " + m_strTitle;
  SetWindowTextA(m_hWnd, text.c_str());
}

void CFrameWnd::SetActiveView(CView* pViewNew, BOOL bNotify) {
  CView* pViewOld = m_pViewActive;
  if (pViewNew == pViewOld) return;
  // No view is active while the old one is told, so that it may activate another.
  m_pViewActive = nullptr;
  if (pViewOld && bNotify) pViewOld->OnActivateView(FALSE, pViewNew, pViewOld);
  m_pViewActive = pViewNew;
  if (pViewNew && bNotify) pViewNew->OnActivateView(TRUE, pViewNew, pViewOld);
}

CDocument* CFrameWnd::GetActiveDocument() const {
  if (m_pViewActive && m_pViewActive->GetDocument()) return m_pViewActive->GetDocument();
  return m_pDocument;
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg) {
  return pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable &&
         TranslateAcceleratorA(m_hWnd, m_hAccelTable, pMsg);
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && lParam == 0 && OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) return 0;
  return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode) {
  if (m_pViewActive && m_pViewActive->OnCmdMsg(nID, nCode)) return TRUE;
  if (CDocument* pDoc = GetActiveDocument(); pDoc && pDoc->OnCmdMsg(nID, nCode)) return TRUE;
  if (CWnd::OnCmdMsg(nID, nCode)) return TRUE;
  CWinApp* pApp = AfxGetApp();
  return pApp && pApp->OnCmdMsg(nID, nCode);
}

void CFrameWnd::OnSize(UINT nType, int, int) {
  Default();
  if (nType != SIZE_MINIMIZED) RecalcLayout();
}

void CFrameWnd::OnClose() { DestroyWindow(); }

void CFrameWnd::OnSetFocus(HWND) {
  if (m_pViewActive && m_pViewActive->m_hWnd)
    SetFocus(m_pViewActive->m_hWnd);
  else
    Default();
}

void CFrameWnd::PostNcDestroy() {
  CDocument* pDoc = m_pDocument;
  if (CWinApp* pApp = AfxGetApp(); pApp && pApp->m_pMainWnd == this) pApp->OnMainWindowGone();
  delete this;
  if (pDoc) pDoc->OnCloseDocument();
}
