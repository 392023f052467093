// WindowShape.h - the main window's two outlines: the whole window, or only its fixed client area with rounded corners.
//
// Both are computed from the fixed client size and the window's current style, never from
// the window's current size, so a window whose size is off still gets the right outline.
#pragma once

#include <windows.h>

#include "CRect.h"

class CWindowShape {
 public:
  static const int kCornerSize = 20;  // width and height of the ellipse that rounds each corner

  // The screen rectangle of a window whose client area is cx x cy with the window's current
  // style and extended style (no menu), with its top-left corner where the window's is now.
  static CRect FixedWindowRect(HWND hWnd, int cx, int cy);
  // The outline in window coordinates: bRect, the whole window (0, 0, w, h); otherwise the
  // client area, from (bx, by) to (w - bx, h - bx) with rounded corners, where bx is the
  // left border and by the caption with the top border.
  static HRGN CreateShapeRegion(HWND hWnd, BOOL bRect, int cx, int cy);
  // Gives the window that outline, redrawing at once; the window owns the region afterwards.
  static void Apply(HWND hWnd, BOOL bRect, int cx, int cy);
};
