// CPoint.h - a point (POINT) with constructors.
#pragma once

#include <windows.h>

class CPoint : public POINT {
 public:
  CPoint() { x = y = 0; }
  CPoint(int nX, int nY) {
    x = nX;
    y = nY;
  }
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
};
