// ProgressWnd.h - a child window showing a horizontal bar and the centred percentage, painted off screen.
//
// The owner sets the four colour and range fields before creating the window (CreateEx of
// the framework, without a class name: the framework's default child-window class) and
// then only calls SetPos, from any thread. The window owns no GDI objects between paints.
#pragma once

#include "CWnd.h"

class CProgressWnd : public CWnd {
  DECLARE_DYNAMIC(CProgressWnd)

 public:
  CProgressWnd();
  ~CProgressWnd() override;

  // Stores pos without a range check and invalidates the window without erasing; from any thread.
  void SetPos(int pos);
  HWND GetSafeHwnd() const { return m_hWnd; }

  COLORREF m_crText;
  COLORREF m_crBar;
  COLORREF m_crBackground;
  int m_nRange;
  volatile int m_nPos;

  BEGIN_MSG_MAP(CProgressWnd)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
  END_MSG_MAP()

 protected:
  void OnPaint();
  // The paint covers the whole window.
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
};
