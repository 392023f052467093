// The bitmap push button in a real window: its faces read back as pixels, hover tracking
// with the mouse capture, clicks reaching the parent, and the ownership of its bitmaps.
#include <gtest/gtest.h>

#include <windows.h>

#include "CWnd.h"
#include "MessagePump.h"
#include "SkinButton.h"

namespace {

constexpr COLORREF kParentBrushColour = RGB(206, 219, 234);
constexpr COLORREF kHover = RGB(200, 40, 40);
constexpr COLORREF kNormal = RGB(40, 40, 200);
constexpr COLORREF kTransparent = RGB(0, 255, 0);
constexpr int kId = 1000;
constexpr int kW = 78;
constexpr int kH = 26;

// A face of the button's size in one colour, with a 10 x 10 patch of the transparent colour
// at its top-left corner.
HBITMAP MakeFace(COLORREF colour) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, kW, kH);
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT all = {0, 0, kW, kH};
  RECT patch = {0, 0, 10, 10};
  HBRUSH b1 = CreateSolidBrush(colour);
  HBRUSH b2 = CreateSolidBrush(kTransparent);
  FillRect(mem, &all, b1);
  FillRect(mem, &patch, b2);
  DeleteObject(b1);
  DeleteObject(b2);
  SelectObject(mem, old);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return bmp;
}

class CButtonParent : public CWnd {
 public:
  BEGIN_MSG_MAP(CButtonParent)
    COMMAND_CODE(kId, BN_CLICKED, OnClicked)
    MSG_WM_CTLCOLOR(OnCtlColor)
  END_MSG_MAP()
  void OnClicked() { ++clicks; }
  HBRUSH OnCtlColor(CDC*, HWND, UINT) {
    Default();
    return brush;
  }
  int clicks = 0;
  HBRUSH brush = CreateSolidBrush(kParentBrushColour);
};

class SkinButton : public ::testing::Test {
 protected:
  void SetUp() override {
    // The real pointer stays away from the button; the tests send the moves themselves.
    SetCursorPos(0, 0);
    ASSERT_TRUE(parent.CreateEx(0, nullptr, "skin button test", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100, nullptr,
                                nullptr));
    ASSERT_TRUE(button.Create("", 0, CRect(20, 20, 20 + kW, 20 + kH), &parent, kId));
    button.ShowWindow(SW_SHOW);
    ASSERT_EQ(0, button.SetBitmaps(MakeFace(kHover), kTransparent, MakeFace(kNormal), kTransparent));
    button.SetFlat(TRUE);
    button.SetFlatFocus(FALSE, FALSE);
    button.SetDrawBorder(FALSE);
    SetForegroundWindow(parent.m_hWnd);
    SetActiveWindow(parent.m_hWnd);
    pump.RunFor(50);
  }
  void TearDown() override {
    ReleaseCapture();
    button.DestroyWindow();
    parent.DestroyWindow();
    DeleteObject(parent.brush);
  }
  COLORREF Pixel(int x, int y) {
    button.Invalidate(FALSE);
    button.UpdateWindow();
    HDC dc = GetDC(button.m_hWnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(button.m_hWnd, dc);
    return c;
  }
  void Mouse(UINT msg, WPARAM keys, int x, int y) { SendMessageA(button.m_hWnd, msg, keys, MAKELPARAM(x, y)); }

  CButtonParent parent;
  CSkinButton button;
  MessagePump pump;
};

TEST_F(SkinButton, BecomesOwnerDrawnAndShowsItsNormalFaceOverTheParentsBackground) {
  EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & BS_TYPEMASK);
  EXPECT_EQ(kNormal, Pixel(40, 20));
  // The transparent patch keeps what lies below: the parent's background.
  EXPECT_EQ(kParentBrushColour, Pixel(3, 3));
  EXPECT_FALSE(button.IsHover());
}

TEST_F(SkinButton, AttachedToAnExistingButtonItAlsoBecomesOwnerDrawn) {
  HWND hPlain = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 120, 20, kW, kH,
                                parent.m_hWnd, reinterpret_cast<HMENU>(7), nullptr, nullptr);
  CSkinButton attached;
  ASSERT_TRUE(attached.SubclassDlgItem(7, &parent));
  EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), attached.GetStyle() & BS_TYPEMASK);
  attached.DestroyWindow();
  EXPECT_FALSE(IsWindow(hPlain));
}

TEST_F(SkinButton, HoverFaceWhileThePointerIsOverItAndUntilItMovesToAnotherWindow) {
  POINT inside = {40, 10};
  ClientToScreen(button.m_hWnd, &inside);
  SetCursorPos(inside.x, inside.y);
  Mouse(WM_MOUSEMOVE, 0, 40, 10);
  EXPECT_TRUE(button.IsHover());
  EXPECT_EQ(button.m_hWnd, GetCapture());
  EXPECT_EQ(kHover, Pixel(40, 20));

  // A move onto the parent, outside the button: hover ends and the capture goes.
  Mouse(WM_MOUSEMOVE, 0, 150, 10);
  EXPECT_FALSE(button.IsHover());
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(kNormal, Pixel(40, 20));
}

TEST_F(SkinButton, PressedWithoutThePointerOverItShowsTheHoverFace) {
  // The pushed state a key press gives, without any mouse tracking.
  Mouse(WM_MOUSEMOVE, 0, 150, 10);
  ASSERT_FALSE(button.IsHover());
  SendMessageA(button.m_hWnd, BM_SETSTATE, TRUE, 0);
  EXPECT_EQ(kHover, Pixel(40, 20));
  SendMessageA(button.m_hWnd, BM_SETSTATE, FALSE, 0);
  EXPECT_EQ(kNormal, Pixel(40, 20));
}

TEST_F(SkinButton, LeavingWithTheLeftButtonDownKeepsTheCaptureAndReleasingOutsideGivesNoClick) {
  Mouse(WM_MOUSEMOVE, 0, 40, 10);
  Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 40, 10);
  EXPECT_EQ(button.m_hWnd, GetCapture());
  Mouse(WM_MOUSEMOVE, MK_LBUTTON, 150, 10);
  EXPECT_FALSE(button.IsHover());
  EXPECT_EQ(button.m_hWnd, GetCapture());
  Mouse(WM_LBUTTONUP, 0, 150, 10);
  pump.RunFor(20);
  EXPECT_EQ(0, parent.clicks);

  // Released on the button, the same press is a click, which reaches the parent.
  Mouse(WM_MOUSEMOVE, 0, 40, 10);
  Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 40, 10);
  Mouse(WM_LBUTTONUP, 0, 40, 10);
  pump.RunFor(20);
  EXPECT_EQ(1, parent.clicks);
}

TEST_F(SkinButton, ADoubleClickGivesTwoCommands) {
  Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 40, 10);
  Mouse(WM_LBUTTONUP, 0, 40, 10);
  Mouse(WM_LBUTTONDBLCLK, MK_LBUTTON, 40, 10);
  Mouse(WM_LBUTTONUP, 0, 40, 10);
  pump.RunFor(20);
  EXPECT_EQ(2, parent.clicks);
}

TEST_F(SkinButton, HoverEndsOnFocusLossDisablingAndCancelMode) {
  for (UINT msg : {static_cast<UINT>(WM_KILLFOCUS), static_cast<UINT>(WM_CANCELMODE)}) {
    Mouse(WM_MOUSEMOVE, 0, 40, 10);
    ASSERT_TRUE(button.IsHover());
    SendMessageA(button.m_hWnd, msg, 0, 0);
    EXPECT_FALSE(button.IsHover()) << msg;
    ReleaseCapture();
  }
  Mouse(WM_MOUSEMOVE, 0, 40, 10);
  ASSERT_TRUE(button.IsHover());
  EnableWindow(button.m_hWnd, FALSE);
  EXPECT_FALSE(button.IsHover());
  // Disabled, the face stays as it is: owners show a busy button with other bitmaps.
  EXPECT_EQ(kNormal, Pixel(40, 20));
}

TEST_F(SkinButton, SetBitmapsResults) {
  // A null hover bitmap leaves no image at all: the face shows the parent's background.
  EXPECT_EQ(0, button.SetBitmaps(nullptr, kTransparent, MakeFace(kNormal), kTransparent));
  EXPECT_EQ(nullptr, button.m_imgNormal.hBitmap);
  EXPECT_EQ(kParentBrushColour, Pixel(40, 20));
  // With only a hover bitmap, it shows in every state.
  EXPECT_EQ(0, button.SetBitmaps(MakeFace(kHover), kTransparent, nullptr, kTransparent));
  EXPECT_EQ(kHover, Pixel(40, 20));
  // A handle that is no bitmap: 1, and nothing is kept.
  EXPECT_EQ(1, button.SetBitmaps(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(0x1234)), kTransparent, nullptr,
                                 kTransparent));
  EXPECT_EQ(nullptr, button.m_imgHover.hBitmap);
  // A transparent colour that does not occur: the face is fully opaque.
  EXPECT_EQ(0, button.SetBitmaps(MakeFace(kHover), RGB(1, 2, 3), MakeFace(kNormal), RGB(1, 2, 3)));
  EXPECT_EQ(kTransparent, Pixel(3, 3));
}

}  // namespace
