// CClientDC.h - the drawing context of a window's client area, outside the paint cycle.
#pragma once

#include "CDC.h"

class CWnd;

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* pWnd);
  ~CClientDC() override;

 private:
  HWND m_hWnd;
};
