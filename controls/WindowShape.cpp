#include "WindowShape.h"

namespace {

// The window rectangle that a cx x cy client area at the window's top-left corner needs.
CRect AdjustedFor(HWND hWnd, const CRect& window, int cx, int cy) {
  CRect adjusted(window.left, window.top, window.left + cx, window.top + cy);
  AdjustWindowRectEx(&adjusted, static_cast<DWORD>(GetWindowLongA(hWnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(hWnd, GWL_EXSTYLE)));
  return adjusted;
}

CRect WindowRectOf(HWND hWnd) {
  CRect window;
  GetWindowRect(hWnd, &window);
  return window;
}

}  // namespace

CRect CWindowShape::FixedWindowRect(HWND hWnd, int cx, int cy) {
  const CRect window = WindowRectOf(hWnd);
  CRect adjusted = AdjustedFor(hWnd, window, cx, cy);
  adjusted.OffsetRect(window.left - adjusted.left, window.top - adjusted.top);
  return adjusted;
}

HRGN CWindowShape::CreateShapeRegion(HWND hWnd, BOOL bRect, int cx, int cy) {
  const CRect window = WindowRectOf(hWnd);
  const CRect adjusted = AdjustedFor(hWnd, window, cx, cy);
  const int bx = window.left - adjusted.left;
  const int by = window.top - adjusted.top;
  const int w = adjusted.Width();
  const int h = adjusted.Height();
  if (bRect) return CreateRectRgn(0, 0, w, h);
  // The bottom edge is inset by the side border, like the sides.
  return CreateRoundRectRgn(bx, by, w - bx, h - bx, kCornerSize, kCornerSize);
}

void CWindowShape::Apply(HWND hWnd, BOOL bRect, int cx, int cy) {
  HRGN hRgn = CreateShapeRegion(hWnd, bRect, cx, cy);
  if (hRgn && !SetWindowRgn(hWnd, hRgn, TRUE)) DeleteObject(hRgn);
}
