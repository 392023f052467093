// CSize.h - a size (SIZE) with constructors.
#pragma once

#include <windows.h>

class CSize : public SIZE {
 public:
  CSize() { cx = cy = 0; }
  CSize(int nCX, int nCY) {
    cx = nCX;
    cy = nCY;
  }
};
