// ProgressWnd.h - a child window showing a horizontal bar and the centred percentage, painted off screen.
//
// The owner sets the four colour and range fields before creating the window and then
// only calls SetPos, from any thread. The window owns no GDI objects between paints.
#pragma once

#include <windows.h>

class CProgressWnd {
 public:
  CProgressWnd();
  virtual ~CProgressWnd();
  CProgressWnd(const CProgressWnd&) = delete;
  CProgressWnd& operator=(const CProgressWnd&) = delete;

  // Creates the window: className null for the default child-window class.
  BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, HWND parent,
                UINT id);
  // Stores pos without a range check and invalidates the window without erasing.
  void SetPos(int pos);
  HWND GetSafeHwnd() const { return m_hWnd; }

  COLORREF m_crText;
  COLORREF m_crBar;
  COLORREF m_crBackground;
  int m_nRange;
  volatile int m_nPos;

  HWND m_hWnd = nullptr;

 protected:
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  void OnPaint();

 private:
  static LRESULT CALLBACK StaticWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static ATOM RegisterDefaultClass();
};
