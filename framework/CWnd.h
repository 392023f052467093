// CWnd.h - a window and its C++ object: binding, subclassing, message dispatch through the class's table.
//
// Binding. A window of one of the framework's classes is bound to its object from its very
// first message: Create parks the object in a thread-local slot, and the shared window
// procedure moves it into the window's property on the first message it sees. A window
// made elsewhere (a control from a dialog template, a system class) is bound by
// subclassing: the object takes over the window procedure and keeps the previous one for
// the default processing. No machine-code thunks.
//
// Dispatch. Each message goes to WindowProc: commands and owner drawing from a child
// control to the control's own object first (see MessageMap.h), then the class's table,
// then the default processing (colour requests to the child control, then the previous
// procedure of a subclassed window, DefWindowProc otherwise).
//
// Lifetime. When the window is gone (WM_NCDESTROY) the object is unbound and PostNcDestroy
// runs; classes whose objects are made with new (views, frames) delete themselves there.
// If the window is destroyed while one of its own handlers runs, PostNcDestroy waits until
// that handler has returned, so a handler may destroy its window and still return safely
// (without touching members afterwards). A Create that fails also ends in PostNcDestroy, so
// a self-deleting object whose window could not be made is gone as well.
#pragma once

#include <windows.h>

#include "CCmdTarget.h"
#include "CRect.h"
#include "MessageMap.h"

class CDataExchange;
class CFrameWnd;
struct CCreateContext;

class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)

 public:
  CWnd() = default;
  ~CWnd() override;

  HWND m_hWnd = nullptr;

  // The object bound to hWnd, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // A child window (WS_CHILD is added); lpszClassName null takes the class's default.
  // pContext reaches OnCreate handlers through CREATESTRUCT::lpCreateParams.
  virtual BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                      CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr);
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, int x, int y,
                int cx, int cy, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
  // A window with the given parent (or none) and control id nID, in rect.
  BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
  // After it returns, a self-deleting object may be gone.
  virtual BOOL DestroyWindow();

  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  // Gives the window back its previous procedure and unbinds it; returns the window.
  HWND UnsubclassWindow();

  virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
  // Runs once the object is bound to its window, before the object handles any message:
  // after the first message's binding of a window made by Create, and after SubclassWindow.
  virtual void PreSubclassWindow() {}
  // Called by the application's message loop for each message of this window or of one of
  // its children, before it is dispatched: TRUE when the message has been dealt with.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Offers a message reflected from this control's parent to this control's table.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

  // Data exchange between members and controls: FALSE when a control holds an invalid value.
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX);

  // The nearest ancestor that is a frame window, or null.
  CFrameWnd* GetParentFrame() const;
  CWnd* GetParent() const { return FromHandlePermanent(::GetParent(m_hWnd)); }
  // Sends the message to every child (every descendant with bDeep) that has an object.
  void SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep = TRUE);

  // Thin wrappers.
  DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  CRect GetClientRect() const;
  CRect GetWindowRect() const;
  BOOL MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE) {
    return ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint);
  }
  BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
  BOOL RedrawWindow(const RECT* pRect, UINT nFlags) { return ::RedrawWindow(m_hWnd, pRect, nullptr, nFlags); }
  void InvalidateRect(const RECT* pRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, pRect, bErase); }
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
  BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
  // WM_SETREDRAW: FALSE stops the window repainting itself as it changes; TRUE lets it again.
  void SetRedraw(BOOL bRedraw = TRUE) { ::SendMessageA(m_hWnd, WM_SETREDRAW, bRedraw, 0); }
  HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }

  // Makes sure a window class of the framework's procedure exists; returns its name.
  static LPCSTR EnsureClassRegistered(LPCSTR lpszClassName, UINT nClassStyle, HCURSOR hCursor,
                                      HBRUSH hbrBackground);

 protected:
  // The default processing of the message this window is handling now (for handlers that
  // want it too); 0 when called while the window handles no message. Inside a handler of a
  // message reflected from the parent (OCM_*), the reflected message's default answer: what
  // DefWindowProc gives this window for the original message (for a colour request, the
  // system's brush for this kind of control; 0 for a command or owner drawing).
  LRESULT Default();
  // What a message nobody handles gets: a colour request is offered to the child control
  // it comes from (reflection), then the previous or default window procedure runs.
  LRESULT DefaultProcessing(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Runs once the window is gone and this object unbound; self-deleting classes delete here.
  virtual void PostNcDestroy() {}
  // Creates this object's window as a modeless child dialog from template nIDTemplate,
  // bound from the first message its dialog procedure sees on.
  BOOL CreateDialogChild(UINT nIDTemplate, CWnd* pParentWnd);

 private:
  // Runs make() (which makes the window) with this object waiting in the binding slot,
  // then binds a window its first messages did not bind, or ends in PostNcDestroy.
  template <typename Make>
  BOOL CreateAndBind(Make make);
  static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK StaticDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  BOOL ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& lResult);
  void Bind(HWND hWnd);
  void Unbind();

  // The message this window is handling now (innermost), for Default.
  struct CurrentMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool valid;
    bool reflected;  // offered by the parent (OCM_*), not sent to this window
  };
  CurrentMessage m_current = {0, 0, 0, false, false};
  WNDPROC m_pfnSuper = nullptr;  // previous procedure of a subclassed window
  int m_nDispatchDepth = 0;      // messages of this window being handled right now
  bool m_bNcDestroyPending = false;
};
