// SNWnd.h - the library's window base: a window handle, two brushes and one virtual handler per routed message.
#pragma once

#include <windows.h>

class CSNWnd {
 public:
  CSNWnd();
  virtual ~CSNWnd();
  CSNWnd(const CSNWnd&) = delete;
  CSNWnd& operator=(const CSNWnd&) = delete;

  // 1 when name is this class's name ("SN_Wnd" for windows, "SN_Dialog" for dialogs).
  virtual int IsClassName(const char* name) const;
  // Routes a message to its handler; windows pass what no handler answers to DefWindowProcA.
  virtual LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

  // One handler per routed message; each does nothing unless said otherwise.
  virtual void OnCreate(LPCREATESTRUCTA) {}
  virtual void OnDestroy() {}
  virtual void OnSize(UINT, int, int) {}
  virtual void OnActivate(UINT, HWND, BOOL) {}
  virtual void OnSetFocus(HWND) {}
  virtual void OnKillFocus(HWND) {}
  virtual void OnEnable(BOOL) {}
  virtual void OnPaint() {}
  virtual void OnClose() {}
  virtual void OnShowWindow(BOOL, UINT) {}
  virtual void OnActivateApp(BOOL, DWORD) {}
  virtual void OnChildActivate() {}
  virtual void OnKeyDown(UINT, UINT, UINT) {}
  virtual void OnKeyUp(UINT, UINT, UINT) {}
  virtual void OnChar(UINT, UINT, UINT) {}
  virtual void OnSysKeyDown(UINT, UINT, UINT) {}
  virtual void OnSysKeyUp(UINT, UINT, UINT) {}
  virtual void OnSysChar(UINT, UINT, UINT) {}
  virtual void OnSysCommand(UINT, int, int) {}
  virtual void OnHScroll(UINT, UINT, HWND) {}
  virtual void OnVScroll(UINT, UINT, HWND) {}
  virtual void OnMouseMove(UINT, int, int) {}
  virtual void OnLButtonDown(UINT, int, int);
  virtual void OnLButtonUp(UINT, int, int) {}
  virtual void OnLButtonDblClk(UINT, int, int) {}
  virtual void OnRButtonDown(UINT, int, int);
  virtual void OnRButtonUp(UINT, int, int) {}
  virtual void OnRButtonDblClk(UINT, int, int) {}
  virtual void OnMButtonDown(UINT, int, int);
  virtual void OnMButtonUp(UINT, int, int) {}
  virtual void OnMButtonDblClk(UINT, int, int) {}
  virtual void OnParentNotify(UINT, UINT, LPARAM) {}
  virtual void OnSizing(UINT, LPRECT) {}
  virtual void OnTimer(UINT_PTR) {}
  virtual LRESULT OnEraseBkgnd(HDC) { return 0; }
  virtual LRESULT OnNotify(int, LPNMHDR) { return 0; }
  virtual LRESULT OnInitDialog(HWND, LPARAM) { return 0; }
  // Control 1 (OK) runs OnOK, control 2 (Cancel) OnCancel; returns 1.
  virtual LRESULT OnCommand(UINT id, UINT code, HWND control);
  virtual LRESULT OnMouseWheel(UINT, short, int, int) { return 0; }
  // kind: message - WM_CTLCOLORMSGBOX (0 message box, 1 edit, 2 list box, 3 button, 4 dialog,
  // 5 scroll bar, 6 static). Returns the background brush.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, int kind);

  // Dialog operations; a plain window has none of them.
  virtual void OnOK() {}
  virtual void OnCancel() {}

  HWND GetHandle() const { return m_hWnd; }
  void Attach(HWND hWnd) { m_hWnd = hWnd; }

 protected:
  // Routes msg to its handler; answered is false for messages without one.
  LRESULT Route(UINT msg, WPARAM wParam, LPARAM lParam, bool& answered);

  HWND m_hWnd = nullptr;
  const char* m_pszClassName = "SN_Wnd";
  HBRUSH m_hWhiteBrush;
  HBRUSH m_hFaceBrush;
};
