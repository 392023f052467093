// CBitmap.h - a bitmap handle owned by its object: loaded from the program's resources, deleted when the object goes.
#pragma once

#include <windows.h>

class CBitmap {
 public:
  CBitmap() = default;
  ~CBitmap() { DeleteObject(); }
  CBitmap(const CBitmap&) = delete;
  CBitmap& operator=(const CBitmap&) = delete;

  // The bitmap resource nIDResource of the program, at its own size; FALSE when it is missing.
  BOOL LoadBitmap(UINT nIDResource);
  BOOL CreateCompatibleBitmap(HDC hDC, int nWidth, int nHeight);
  void DeleteObject();
  SIZE GetSize() const;
  operator HBITMAP() const { return m_hBitmap; }

  HBITMAP m_hBitmap = nullptr;
};
