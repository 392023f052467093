// The views' bitmaps as the program's resources hold them: every id present at its size
// and depth, the background colour dominant, and no button face containing the colour
// its owner passes as transparent (such pixels would show whatever lies below).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "ArtworkIds.h"

namespace {

enum class Kind { Picture, MenuFace, ViewFace };

struct Art {
  int id;
  int width;
  int height;
  Kind kind;
};

const Art kArt[] = {
    {IDB_BANNER, 700, 124, Kind::Picture},
    {IDB_TAB_SERIAL, 110, 32, Kind::Picture},
    {IDB_TAB_SERIAL_SELECTED, 110, 32, Kind::Picture},
    {IDB_TAB_USB, 113, 32, Kind::Picture},
    {IDB_TAB_USB_SELECTED, 113, 32, Kind::Picture},
    {IDB_HOME_PAGE, 22, 22, Kind::Picture},
    {IDB_BOTTOM, 700, 51, Kind::Picture},
    {IDB_MENU_SERIAL_BACK, 170, 325, Kind::Picture},
    {IDB_MENU_USB_BACK, 170, 325, Kind::Picture},
    {IDB_MENU_SERIAL, 148, 43, Kind::MenuFace},
    {IDB_MENU_SERIAL_HOVER, 148, 43, Kind::MenuFace},
    {IDB_MENU_SERIAL_BUSY, 148, 43, Kind::MenuFace},
    {IDB_MENU_USB, 148, 43, Kind::MenuFace},
    {IDB_MENU_USB_HOVER, 148, 43, Kind::MenuFace},
    {IDB_MENU_USB_BUSY, 148, 43, Kind::MenuFace},
    {IDB_SERIAL_VIEW, 530, 325, Kind::Picture},
    {IDB_PORT, 78, 26, Kind::ViewFace},
    {IDB_PORT_HOVER, 78, 26, Kind::ViewFace},
    {IDB_PORT_BUSY, 78, 26, Kind::ViewFace},
    {IDB_FILE, 78, 26, Kind::ViewFace},
    {IDB_FILE_HOVER, 78, 26, Kind::ViewFace},
    {IDB_FILE_BUSY, 78, 26, Kind::ViewFace},
    {IDB_RESET, 78, 26, Kind::ViewFace},
    {IDB_RESET_HOVER, 78, 26, Kind::ViewFace},
    {IDB_CANCEL, 78, 26, Kind::ViewFace},
    {IDB_CANCEL_HOVER, 78, 26, Kind::ViewFace},
    {IDB_USB_VIEW, 530, 325, Kind::Picture},
    {IDB_USB_DOWNLOAD, 78, 26, Kind::ViewFace},
    {IDB_USB_DOWNLOAD_HOVER, 78, 26, Kind::ViewFace},
    {IDB_USB_DOWNLOAD_BUSY, 78, 26, Kind::ViewFace},
    {IDB_USB_FILE, 78, 26, Kind::ViewFace},
    {IDB_USB_FILE_HOVER, 78, 26, Kind::ViewFace},
};

const COLORREF kBackground = RGB(206, 219, 234);
const COLORREF kTabBackground = RGB(205, 218, 234);
const COLORREF kMenuTransparent = RGB(255, 0, 0);

// The transparent colour of the view buttons and of a locked menu: the button face plus
// 0x1E1E1E as one number, for the face colour of the running system and of the classic,
// Windows 2000, XP and later schemes.
std::vector<COLORREF> ViewTransparentColours() {
  std::vector<COLORREF> colours;
  for (COLORREF face : {GetSysColor(COLOR_BTNFACE), RGB(192, 192, 192), RGB(212, 208, 200), RGB(236, 233, 216),
                        RGB(240, 240, 240)})
    colours.push_back((face + 0x1E1E1E) & 0xFFFFFF);
  return colours;
}

// Pixel colours of an 8-bit resource bitmap with their counts; fails on another depth.
struct Pixels {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  std::map<COLORREF, int> counts;
};

Pixels Load(int id) {
  Pixels px;
  HBITMAP hBmp = static_cast<HBITMAP>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!hBmp) return px;
  DIBSECTION dib{};
  GetObjectA(hBmp, sizeof dib, &dib);
  px.width = dib.dsBm.bmWidth;
  px.height = dib.dsBm.bmHeight;
  px.bitsPerPixel = dib.dsBm.bmBitsPixel;
  if (px.bitsPerPixel == 8) {
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, hBmp);
    RGBQUAD table[256]{};
    GetDIBColorTable(hdc, 0, 256, table);
    SelectObject(hdc, old);
    DeleteDC(hdc);
    const auto* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
    for (int y = 0; y < px.height; ++y)
      for (int x = 0; x < px.width; ++x) {
        const RGBQUAD& q = table[bits[y * dib.dsBm.bmWidthBytes + x]];
        ++px.counts[RGB(q.rgbRed, q.rgbGreen, q.rgbBlue)];
      }
  }
  DeleteObject(hBmp);
  return px;
}

COLORREF Dominant(const Pixels& px) {
  COLORREF best = 0;
  int most = -1;
  for (const auto& [colour, count] : px.counts)
    if (count > most) most = count, best = colour;
  return best;
}

}  // namespace

TEST(Artwork, EveryBitmapIsPresentAtItsSizeIn8BitsWithTheBackgroundDominant) {
  for (const Art& art : kArt) {
    SCOPED_TRACE(art.id);
    const Pixels px = Load(art.id);
    ASSERT_EQ(art.width, px.width);
    ASSERT_EQ(art.height, px.height);
    ASSERT_EQ(8, px.bitsPerPixel);
    const bool tab = art.id == IDB_TAB_SERIAL_SELECTED || art.id == IDB_TAB_USB;
    EXPECT_EQ(tab ? kTabBackground : kBackground, Dominant(px));
  }
}

TEST(Artwork, ButtonFacesAreFullyOpaqueForTheirOwnersTransparentColours) {
  const std::vector<COLORREF> viewColours = ViewTransparentColours();
  for (const Art& art : kArt) {
    if (art.kind == Kind::Picture) continue;
    SCOPED_TRACE(art.id);
    const Pixels px = Load(art.id);
    ASSERT_FALSE(px.counts.empty());
    // Menu faces get (255, 0, 0) from their menu, and the button-face colour when the
    // menu is locked and unlocked again.
    if (art.kind == Kind::MenuFace) {
      EXPECT_EQ(0u, px.counts.count(kMenuTransparent));
    }
    for (COLORREF c : viewColours) EXPECT_EQ(0u, px.counts.count(c)) << std::hex << c;
  }
}
