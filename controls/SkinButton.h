// SkinButton.h - the flat owner-drawn push button whose face is a bitmap: one image while the pointer is away, another while it is over the button or the button is pressed.
//
// The button tracks the pointer itself with the mouse capture. It owns the bitmaps and
// masks SetBitmaps accepts (masks built by blackening the transparent colour of each
// bitmap in place) and deletes them when new ones are set and when it goes. Its click
// reaches the parent as the usual button-clicked command. User-interface thread only.
#pragma once

#include "CButton.h"

class CSkinButton : public CButton {
  DECLARE_DYNAMIC(CSkinButton)

 public:
  CSkinButton() = default;
  ~CSkinButton() override;

  // Loads both bitmaps from the resource module that holds the hover bitmap; see the
  // handle form for the result.
  int SetBitmaps(WORD nBitmapIn, COLORREF crTransColorIn, WORD nBitmapOut, COLORREF crTransColorOut);
  // 0 done; 1 a bitmap's size could not be read; 2 a mask could not be built (everything
  // held is then deleted). A null hover bitmap leaves the button without any image.
  int SetBitmaps(HBITMAP hBitmapIn, COLORREF crTransColorIn, HBITMAP hBitmapOut, COLORREF crTransColorOut);
  void SetFlat(BOOL bState);
  void SetFlatFocus(BOOL bDrawFlatFocus, BOOL bRepaint);
  void SetDrawBorder(BOOL bEnable) { m_bDrawBorder = bEnable; }

  BOOL IsHover() const { return m_bHover; }

  void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

  BEGIN_MSG_MAP(CSkinButton)
    MSG_WM_MOUSEMOVE(OnMouseMove)
    MSG_WM_KILLFOCUS(OnKillFocus)
    MSG_WM_ACTIVATE(OnActivate)
    MSG_WM_ENABLE(OnEnable)
    MSG_WM_CANCELMODE(OnCancelMode)
    MSG_WM_CAPTURECHANGED(OnCaptureChanged)
    MSG_WM_LBUTTONDBLCLK(OnLButtonDblClk)
    REFLECTED_COMMAND_CODE_DECLINE(BN_CLICKED, OnClicked)
    REFLECTED_CTLCOLOR(OnCtlColor)
    CHAIN_MSG_MAP(CButton)
  END_MSG_MAP()

  // An image: the bitmap, its size, its mask and its transparent colour. Empty: all zero.
  struct Image {
    HBITMAP hBitmap;
    DWORD dwWidth;
    DWORD dwHeight;
    HBITMAP hMask;
    COLORREF crTransparent;
  };

  BOOL m_bHover = FALSE;
  BOOL m_bPressed = FALSE;
  BOOL m_bFocused = FALSE;
  BOOL m_bDrawBorder = TRUE;
  BOOL m_bFlat = TRUE;
  BOOL m_bDrawFlatFocus = FALSE;
  Image m_imgHover{};
  Image m_imgNormal{};

 protected:
  // Turns the button into an owner-drawn one before its first use, on both ways of attaching.
  void PreSubclassWindow() override;
  // A one-pixel 3-D frame around rect: sunken while pressed, raised otherwise.
  virtual void DrawBorder(CDC* pDC, const RECT& rect);

  void OnMouseMove(UINT nFlags, CPoint point);
  void OnKillFocus(HWND hWndNew);
  void OnActivate(UINT nState, HWND hWndOther, BOOL bMinimized);
  void OnEnable(BOOL bEnable);
  void OnCancelMode();
  void OnCaptureChanged(HWND hWndNew);
  void OnLButtonDblClk(UINT nFlags, CPoint point);
  BOOL OnClicked() { return FALSE; }
  HBRUSH OnCtlColor(CDC*, UINT) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }

 private:
  void CancelHover();
  void FreeImages();
  // Stores hBitmap in image and builds its mask: 0, 1 or 2 as for SetBitmaps.
  static int TakeImage(Image& image, HBITMAP hBitmap, COLORREF crTransparent);
  static HBITMAP CreateMask(HBITMAP hBitmap, DWORD dwWidth, DWORD dwHeight, COLORREF crTransparent);
  void DrawImage(CDC* pDC, const RECT& rect, const Image& image);
  void PaintParentBackground(CDC* pDC, const RECT& client);
};
