#include "CWnd.h"

#include "CDataExchange.h"
#include "CFrameWnd.h"
#include "CWinApp.h"

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

namespace {

// The window property that holds a window's object.
LPCSTR ObjectProperty() {
  static const ATOM atom = GlobalAddAtomA("Stelvar.CWnd");
  return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(atom));
}

// The object whose window this thread is creating, until the window's first message binds it.
thread_local CWnd* t_pWndInit = nullptr;

bool IsCtlColor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// Sends to every child that has an object; with bDeep also to their children, reaching the
// children of windows without an object too.
void SendToChildren(HWND hParent, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  for (HWND h = GetWindow(hParent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (CWnd::FromHandlePermanent(h)) ::SendMessageA(h, message, wParam, lParam);
    if (bDeep && IsWindow(h)) SendToChildren(h, message, wParam, lParam, TRUE);
  }
}

}  // namespace

CWnd::~CWnd() {
  if (m_hWnd) {
    // The object goes before its window: unbind first, so that the window's last messages
    // find no object, then destroy the window.
    HWND hWnd = m_hWnd;
    Unbind();
    ::DestroyWindow(hWnd);
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  return hWnd ? static_cast<CWnd*>(GetPropA(hWnd, ObjectProperty())) : nullptr;
}

LPCSTR CWnd::EnsureClassRegistered(LPCSTR lpszClassName, UINT nClassStyle, HCURSOR hCursor,
                                   HBRUSH hbrBackground) {
  WNDCLASSA wc{};
  HINSTANCE hInst = AfxGetInstanceHandle();
  if (GetClassInfoA(hInst, lpszClassName, &wc)) return lpszClassName;
  wc.style = nClassStyle;
  wc.lpfnWndProc = StaticWndProc;
  wc.hInstance = hInst;
  wc.hCursor = hCursor;
  wc.hbrBackground = hbrBackground;
  wc.lpszClassName = lpszClassName;
  return ::RegisterClassA(&wc) ? lpszClassName : nullptr;
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = EnsureClassRegistered("Stelvar.Wnd", CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW),
                                         reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return cs.lpszClass != nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                    CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
  return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), lpParam);
}

BOOL CWnd::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, CCreateContext* pContext) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), pContext);
}

template <typename Make>
BOOL CWnd::CreateAndBind(Make make) {
  CWnd* const previous = t_pWndInit;
  t_pWndInit = this;
  HWND hWnd = make();
  const bool bound = t_pWndInit != this;
  t_pWndInit = previous;

  if (!hWnd) {
    // A window that was bound and then failed (OnCreate returned -1, a dialog control could
    // not be made) has already been through WM_NCDESTROY and PostNcDestroy; one that never
    // existed (no such class or template) goes there now.
    if (!bound) PostNcDestroy();
    return FALSE;
  }
  if (!bound && !SubclassWindow(hWnd)) {
    // A class with a procedure of its own: take it over now.
    ::DestroyWindow(hWnd);
    PostNcDestroy();
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x,
                    int y, int cx, int cy, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam) {
  if (m_hWnd) return FALSE;
  CREATESTRUCTA cs{};
  cs.dwExStyle = dwExStyle;
  cs.lpszClass = lpszClassName;
  cs.lpszName = lpszWindowName;
  cs.style = dwStyle;
  cs.x = x;
  cs.y = y;
  cs.cx = cx;
  cs.cy = cy;
  cs.hwndParent = hWndParent;
  cs.hMenu = nIDorHMenu;
  cs.hInstance = AfxGetInstanceHandle();
  cs.lpCreateParams = lpParam;
  if (!PreCreateWindow(cs)) {
    PostNcDestroy();
    return FALSE;
  }

  return CreateAndBind([&] {
    return CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                           cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
  });
}

BOOL CWnd::CreateDialogChild(UINT nIDTemplate, CWnd* pParentWnd) {
  if (m_hWnd) return FALSE;
  return CreateAndBind([&] {
    return CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDTemplate),
                              pParentWnd ? pParentWnd->m_hWnd : nullptr, StaticDlgProc, 0);
  });
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

void CWnd::Bind(HWND hWnd) {
  m_hWnd = hWnd;
  SetPropA(hWnd, ObjectProperty(), this);
}

void CWnd::Unbind() {
  if (!m_hWnd) return;
  if (m_pfnSuper) {
    // Only give the procedure back if nobody has subclassed the window on top of us.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == StaticWndProc)
      SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = nullptr;
  }
  RemovePropA(m_hWnd, ObjectProperty());
  m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (!hWnd || m_hWnd || FromHandlePermanent(hWnd) || !IsWindow(hWnd)) return FALSE;
  Bind(hWnd);
  auto previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StaticWndProc)));
  // A window of one of our own classes has DefWindowProc as its default processing.
  m_pfnSuper = previous == StaticWndProc ? nullptr : previous;
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  return pParent && SubclassWindow(GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow() {
  HWND hWnd = m_hWnd;
  Unbind();
  return hWnd;
}

LRESULT CALLBACK CWnd::StaticWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* pWnd = FromHandlePermanent(hWnd);
  if (!pWnd) {
    pWnd = t_pWndInit;
    if (!pWnd) return DefWindowProcA(hWnd, message, wParam, lParam);
    t_pWndInit = nullptr;
    pWnd->Bind(hWnd);
    pWnd->PreSubclassWindow();
  }
  return pWnd->Dispatch(message, wParam, lParam);
}

INT_PTR CALLBACK CWnd::StaticDlgProc(HWND hWnd, UINT, WPARAM, LPARAM) {
  // The first message the dialog procedure sees binds the object, which from then on gets
  // every message through its own procedure; the dialog's procedure does the default.
  if (!FromHandlePermanent(hWnd) && t_pWndInit) {
    CWnd* pWnd = t_pWndInit;
    t_pWndInit = nullptr;
    pWnd->SubclassWindow(hWnd);
  }
  return FALSE;
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  const CurrentMessage saved = m_current;
  m_current = {message, wParam, lParam, true, false};
  ++m_nDispatchDepth;
  const LRESULT result = WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    Unbind();
    m_bNcDestroyPending = true;
  }
  m_current = saved;
  if (--m_nDispatchDepth == 0 && m_bNcDestroyPending) {
    m_bNcDestroyPending = false;
    PostNcDestroy();  // may delete this
  }
  return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // Commands and owner drawing go to the child control first; colour requests only as
  // part of the default processing, so the parent's handler can take the child's answer
  // (through Default) and then change it.
  if (!IsCtlColor(message) && ReflectToChild(message, wParam, lParam, result)) return result;
  if (ProcessWindowMessage(m_hWnd, message, wParam, lParam, result)) return result;
  return DefaultProcessing(message, wParam, lParam);
}

LRESULT CWnd::DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (IsCtlColor(message) && ReflectToChild(message, wParam, lParam, result)) return result;
  return DefProc(message, wParam, lParam);
}

BOOL CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
  HWND hChild = nullptr;
  if (message == WM_COMMAND) {
    hChild = reinterpret_cast<HWND>(lParam);
  } else if (message == WM_DRAWITEM) {
    auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (dis && dis->CtlType != ODT_MENU) hChild = dis->hwndItem;
  } else if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    hChild = reinterpret_cast<HWND>(lParam);
  }
  if (!hChild || hChild == m_hWnd) return FALSE;
  CWnd* pChild = FromHandlePermanent(hChild);
  return pChild && pChild->OnChildNotify(message, wParam, lParam, lResult);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult) {
  // While the control's table handles the reflected message, that message is the one its
  // Default() acts on, not whatever the control itself was handling (an edit asks for its
  // colours from inside its own paint: defaulting that paint would recurse without end).
  const CurrentMessage saved = m_current;
  m_current = {message, wParam, lParam, true, true};
  const BOOL handled = ProcessWindowMessage(m_hWnd, OCM__BASE + message, wParam, lParam, lResult);
  m_current = saved;
  return handled;
}

LRESULT CWnd::Default() {
  // Outside the handling of one of this window's messages there is nothing to default.
  if (!m_current.valid) return 0;
  if (m_current.reflected)
    return m_hWnd ? DefWindowProcA(m_hWnd, m_current.message, m_current.wParam, m_current.lParam) : 0;
  return DefaultProcessing(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_hWnd) return 0;  // the window went while its handler ran
  if (m_pfnSuper) return CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return !dx.m_bFailed;
}

void CWnd::DoDataExchange(CDataExchange*) {}

CFrameWnd* CWnd::GetParentFrame() const {
  for (HWND h = ::GetParent(m_hWnd); h; h = ::GetParent(h)) {
    CWnd* pWnd = FromHandlePermanent(h);
    if (pWnd && pWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd))) return static_cast<CFrameWnd*>(pWnd);
  }
  return nullptr;
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep) {
  SendToChildren(m_hWnd, message, wParam, lParam, bDeep);
}

CRect CWnd::GetClientRect() const {
  CRect rect;
  ::GetClientRect(m_hWnd, &rect);
  return rect;
}

CRect CWnd::GetWindowRect() const {
  CRect rect;
  ::GetWindowRect(m_hWnd, &rect);
  return rect;
}
