// The two outlines of the main window, read back from the window system with GetWindowRgn.
#include <gtest/gtest.h>

#include "CRect.h"
#include "WindowShape.h"

namespace {

// The main window's style: caption, system menu and minimize box, a dialog frame, no sizing border.
const DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_DLGFRAME;

class WindowShape : public ::testing::Test {
 protected:
  void SetUp() override { Make(kFrameStyle, 300, 200); }
  void TearDown() override {
    if (m_hWnd) DestroyWindow(m_hWnd);
  }
  void Make(DWORD style, int cx, int cy) {
    if (m_hWnd) DestroyWindow(m_hWnd);
    m_hWnd = CreateWindowExA(0, "STATIC", "shape", style, 40, 30, cx, cy, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(m_hWnd);
  }
  // The window's region, or an empty rectangle when it has none.
  CRect RegionBox() {
    HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
    CRect box;
    if (GetWindowRgn(m_hWnd, hRgn) != ERROR) GetRgnBox(hRgn, &box);
    DeleteObject(hRgn);
    return box;
  }
  bool InRegion(int x, int y) {
    HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
    const bool in = GetWindowRgn(m_hWnd, hRgn) != ERROR && PtInRegion(hRgn, x, y);
    DeleteObject(hRgn);
    return in;
  }
  // Borders of a 700 x 500 client area with the window's style: left (bx) and caption plus top (by).
  void Borders(int& bx, int& by, int& w, int& h) {
    CRect r(0, 0, 700, 500);
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_EXSTYLE)));
    bx = -r.left;
    by = -r.top;
    w = r.Width();
    h = r.Height();
  }
  HWND m_hWnd = nullptr;
};

}  // namespace

TEST_F(WindowShape, FixedWindowRectGivesA700By500ClientAreaAtTheSameTopLeftCorner) {
  const CRect fixed = CWindowShape::FixedWindowRect(m_hWnd, 700, 500);
  EXPECT_EQ(40, fixed.left);
  EXPECT_EQ(30, fixed.top);
  MoveWindow(m_hWnd, fixed.left, fixed.top, fixed.Width(), fixed.Height(), TRUE);
  CRect client;
  GetClientRect(m_hWnd, &client);
  EXPECT_EQ(CRect(0, 0, 700, 500), client);

  // A thicker frame needs a larger window for the same client area.
  Make(kFrameStyle | WS_THICKFRAME, 300, 200);
  const CRect thick = CWindowShape::FixedWindowRect(m_hWnd, 700, 500);
  EXPECT_GT(thick.Width(), fixed.Width());
}

TEST_F(WindowShape, RoundedOutlineIsTheClientAreaWithRoundCornersWholeOutlineIsTheWindow) {
  int bx = 0, by = 0, w = 0, h = 0;
  Borders(bx, by, w, h);
  ASSERT_GT(by, bx);  // the caption is part of the top inset

  CWindowShape::Apply(m_hWnd, FALSE, 700, 500);
  const CRect rounded = RegionBox();
  EXPECT_EQ(bx, rounded.left);
  EXPECT_EQ(by, rounded.top);
  // The bottom is inset by the side border, so the outline is just the 700 x 500 client area.
  EXPECT_NEAR(w - bx, rounded.right, 1);
  EXPECT_NEAR(h - bx, rounded.bottom, 1);
  EXPECT_NEAR(700, rounded.Width(), 1);
  EXPECT_NEAR(500, rounded.Height(), 1);
  // Corners are cut, edges and inside are not.
  EXPECT_FALSE(InRegion(bx, by));
  EXPECT_FALSE(InRegion(w - bx - 1, by));
  EXPECT_FALSE(InRegion(bx, h - bx - 1));
  EXPECT_TRUE(InRegion(bx + 10, by));
  EXPECT_TRUE(InRegion(bx, by + 10));
  EXPECT_TRUE(InRegion(bx + 350, by + 250));
  EXPECT_FALSE(InRegion(bx + 350, by - 1));  // the caption is cut away

  CWindowShape::Apply(m_hWnd, TRUE, 700, 500);
  EXPECT_EQ(CRect(0, 0, w, h), RegionBox());
  EXPECT_TRUE(InRegion(0, 0));
}

TEST_F(WindowShape, TheOutlineComesFromTheFixedClientSizeNotTheWindowsSize) {
  CWindowShape::Apply(m_hWnd, FALSE, 700, 500);
  const CRect small = RegionBox();
  MoveWindow(m_hWnd, 40, 30, 900, 800, TRUE);
  CWindowShape::Apply(m_hWnd, FALSE, 700, 500);
  EXPECT_EQ(small, RegionBox());
}
