#include "CBitmap.h"

#include "CWinApp.h"

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
  DeleteObject();
  m_hBitmap = static_cast<HBITMAP>(
      LoadImageA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(nIDResource), IMAGE_BITMAP, 0, 0, 0));
  return m_hBitmap != nullptr;
}

BOOL CBitmap::CreateCompatibleBitmap(HDC hDC, int nWidth, int nHeight) {
  DeleteObject();
  m_hBitmap = ::CreateCompatibleBitmap(hDC, nWidth, nHeight);
  return m_hBitmap != nullptr;
}

void CBitmap::DeleteObject() {
  if (m_hBitmap) ::DeleteObject(m_hBitmap);
  m_hBitmap = nullptr;
}

SIZE CBitmap::GetSize() const {
  BITMAP bm{};
  if (!m_hBitmap || !GetObjectA(m_hBitmap, sizeof bm, &bm)) return SIZE{0, 0};
  return SIZE{bm.bmWidth, bm.bmHeight};
}
