// The banner's hot spots, the left menus' button and the lock while a transfer runs, in
// the program's real frame: what a person's presses and moves do, and what they see.
#include <functional>

#include "ShellFixture.h"
#include "SkinButton.h"
#include "VelLeftMenuView.h"
#include "VelTopView.h"
#include "VelUSBLeftMenuView.h"

namespace {

void SendMouse(HWND hWnd, UINT msg, WPARAM keys, const POINT& pt) {
  SendMessageA(hWnd, msg, keys, MAKELPARAM(pt.x, pt.y));
}

POINT Centre(int hotSpot) {
  const RECT& r = CVelTopView::kHotSpots[hotSpot];
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The colour of one pixel of a window as it is on the screen now.
COLORREF ScreenPixel(HWND hWnd, int x, int y) {
  HDC dc = GetDC(hWnd);
  const COLORREF c = GetPixel(dc, x, y);
  ReleaseDC(hWnd, dc);
  return c;
}

}  // namespace

TEST_F(Shell, APressOnSerialReleasedOnUsbSwitchesToUsbAndOutsideOnlyFreesTheCapture) {
  CVelTopView* top = frame->m_pTopView;
  ASSERT_NE(nullptr, top);
  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(0));
  EXPECT_EQ(top->m_hWnd, GetCapture());
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(1));
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(CMainFrame::kUsbMode, frame->m_nMode);
  EXPECT_EQ(1, top->m_nTab);
  EXPECT_EQ("CVelUSBLeftMenuView", ClassOf(Pane(0)));

  // Pressed on Serial, released on the banner away from every hot spot: nothing but the capture.
  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(0));
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, POINT{400, 20});
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(CMainFrame::kUsbMode, frame->m_nMode);
  EXPECT_EQ(1, top->m_nTab);
}

TEST_F(Shell, SerialWhileInSerialModeRebuildsNothingButRepaintsWithTheSerialTabSelected) {
  CVelTopView* top = frame->m_pTopView;
  CWnd* work = Pane(1);
  top->m_nTab = 1;  // as if the USB tab had been drawn selected
  top->Invalidate(FALSE);
  top->UpdateWindow();
  const POINT marker = {24, 99};  // inside the Serial tab, where the selected tab has its marker
  const COLORREF unselected = ScreenPixel(top->m_hWnd, marker.x, marker.y);
  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(0));
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(0));
  EXPECT_EQ(work, Pane(1));
  EXPECT_EQ(0, top->m_nTab);
  top->UpdateWindow();
  EXPECT_NE(unselected, ScreenPixel(top->m_hWnd, marker.x, marker.y));
}

TEST_F(Shell, LockedHotSpotsDrawNoFrameAndIgnoreClicksWhileTheWindowStillTurnsRectangular) {
  CVelTopView* top = frame->m_pTopView;
  top->UpdateWindow();
  const RECT& usb = CVelTopView::kHotSpots[1];
  const COLORREF edge = ScreenPixel(top->m_hWnd, usb.left, usb.top + 10);
  // Unlocked, a move over the USB tab draws its raised frame at once.
  SendMouse(top->m_hWnd, WM_MOUSEMOVE, 0, Centre(1));
  EXPECT_EQ(GetSysColor(COLOR_BTNHILIGHT), ScreenPixel(top->m_hWnd, usb.left, usb.top + 10));
  top->Invalidate(FALSE);
  top->UpdateWindow();
  ASSERT_EQ(edge, ScreenPixel(top->m_hWnd, usb.left, usb.top + 10));

  frame->SetBusy(TRUE);
  ASSERT_TRUE(top->m_bLocked);
  frame->SetWindowShape(FALSE);
  SendMouse(top->m_hWnd, WM_MOUSEMOVE, 0, Centre(1));
  EXPECT_TRUE(frame->m_bRectShape);
  top->UpdateWindow();
  EXPECT_EQ(edge, ScreenPixel(top->m_hWnd, usb.left, usb.top + 10));
  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(1));
  EXPECT_EQ(nullptr, GetCapture());
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(1));
  EXPECT_EQ(CMainFrame::kSerialMode, frame->m_nMode);
  frame->SetBusy(FALSE);
}

// A frame drawn on a hot spot goes however the pointer or the press ends: by the real
// pointer leaving the banner on a path it never saw, by the lock coming while the pointer
// rests on a tab, or by the capture being taken away mid-press (a message box, another window).
TEST_F(Shell, HotSpotFramesGoWhenThePointerLeavesTheLockComesOrThePressLosesItsCapture) {
  CVelTopView* top = frame->m_pTopView;
  ASSERT_NE(nullptr, top);
  const RECT& usb = CVelTopView::kHotSpots[1];
  auto edge = [&] { return ScreenPixel(top->m_hWnd, usb.left, usb.top + 10); };
  auto pointerTo = [&](HWND hWnd, POINT at) {
    ClientToScreen(hWnd, &at);
    SetCursorPos(at.x, at.y);
  };
  // Away from the program: the screen's far corner.
  auto pointerAway = [] { SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1); };
  SetForegroundWindow(frame->m_hWnd);
  const struct {
    const char* name;
    std::function<void()> press;  // with the pointer resting on the tab
    std::function<void()> end;
    std::function<void()> undo;
  } cases[] = {
      {"pointer went from the tab straight into the work view", [] {},
       [&] { pointerTo(Pane(1)->m_hWnd, POINT{300, 200}); }, [] {}},
      {"lock came while the pointer rested on the tab", [] {}, [&] { frame->SetBusy(TRUE); },
       [&] { frame->SetBusy(FALSE); }},
      {"capture taken mid-press", [&] { SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(1)); },
       [&] { SetCapture(frame->m_hWnd); }, [] { ReleaseCapture(); }},
  };
  for (const auto& c : cases) {
    pointerAway();
    PumpFor(100);
    top->Invalidate(FALSE);
    top->UpdateWindow();
    const COLORREF plain = edge();
    pointerTo(top->m_hWnd, Centre(1));
    ASSERT_TRUE(PumpUntil([&] { return edge() != plain; }, 2000)) << c.name;
    c.press();
    PumpFor(100);
    ASSERT_NE(plain, edge()) << c.name;
    c.end();
    EXPECT_TRUE(PumpUntil([&] { return edge() == plain; }, 2000)) << c.name;
    c.undo();
  }
  pointerAway();
}

// Only a release whose press began on the banner acts: the second click of a double-click
// that closed a dialog lying over the banner goes up over "USB" with no press here.
TEST_F(Shell, AReleaseWithoutAPressOnTheBannerOrAfterItsCaptureWasTakenDoesNothing) {
  CVelTopView* top = frame->m_pTopView;
  ASSERT_NE(nullptr, top);
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(1));
  EXPECT_EQ(CMainFrame::kSerialMode, frame->m_nMode);
  EXPECT_EQ(0, top->m_nTab);

  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, Centre(1));
  SetCapture(frame->m_hWnd);  // a message box or another window takes the mouse mid-press
  ReleaseCapture();
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(1));
  EXPECT_EQ(CMainFrame::kSerialMode, frame->m_nMode);

  // A press on the banner away from the tabs, released on "USB", is a click on "USB".
  SendMouse(top->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, POINT{400, 20});
  SendMouse(top->m_hWnd, WM_LBUTTONUP, 0, Centre(1));
  EXPECT_EQ(CMainFrame::kUsbMode, frame->m_nMode);
  EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(Shell, TheBusyLockDisablesAndGreysTheMenuButtonOfEitherMode) {
  auto* left = dynamic_cast<CVelLeftMenuView*>(Pane(0));
  ASSERT_NE(nullptr, left);
  CSkinButton& button = left->MenuButton();
  ASSERT_TRUE(IsWindow(button.m_hWnd));
  EXPECT_EQ(1000, button.GetDlgCtrlID());
  EXPECT_EQ(CRect(8, 39, 156, 82), RectInParent(button.m_hWnd));
  const COLORREF idle = ScreenPixel(button.m_hWnd, 74, 21);

  frame->SetBusy(TRUE);
  EXPECT_FALSE(IsWindowEnabled(button.m_hWnd));
  button.UpdateWindow();
  const COLORREF busy = ScreenPixel(button.m_hWnd, 74, 21);
  EXPECT_NE(idle, busy);
  // The same busy face whether the pointer is over it or not.
  EXPECT_NE(nullptr, button.m_imgNormal.hBitmap);
  EXPECT_EQ(button.m_imgHover.dwWidth, button.m_imgNormal.dwWidth);
  frame->SetBusy(FALSE);
  EXPECT_TRUE(IsWindowEnabled(button.m_hWnd));
  button.UpdateWindow();
  EXPECT_EQ(idle, ScreenPixel(button.m_hWnd, 74, 21));

  frame->SwitchMode(CMainFrame::kUsbMode);
  auto* usbLeft = dynamic_cast<CVelUSBLeftMenuView*>(Pane(0));
  ASSERT_NE(nullptr, usbLeft);
  frame->SetBusy(TRUE);
  EXPECT_FALSE(IsWindowEnabled(usbLeft->MenuButton().m_hWnd));
  frame->SetBusy(FALSE);
}

TEST_F(Shell, TheUsbMenuButtonDoesNothingAndTheSerialOneReselectsTheSerialView) {
  frame->SwitchMode(CMainFrame::kUsbMode);
  CWnd* usbWork = Pane(1);
  auto* usbLeft = dynamic_cast<CVelUSBLeftMenuView*>(Pane(0));
  ASSERT_NE(nullptr, usbLeft);
  SendMessageA(usbLeft->MenuButton().m_hWnd, BM_CLICK, 0, 0);
  PumpFor(50);
  EXPECT_EQ(usbWork, Pane(1));
  EXPECT_EQ(CMainFrame::kUsbMode, frame->m_nMode);

  frame->SwitchMode(CMainFrame::kSerialMode);
  CWnd* serialWork = Pane(1);
  auto* left = dynamic_cast<CVelLeftMenuView*>(Pane(0));
  ASSERT_NE(nullptr, left);
  SendMessageA(left->MenuButton().m_hWnd, BM_CLICK, 0, 0);
  PumpFor(50);
  EXPECT_EQ(serialWork, Pane(1));
  EXPECT_EQ(CMainFrame::kSerialWorkView, frame->m_nWorkView);
}

TEST_F(Shell, AClickIntoTheSerialLeftMenuMakesTheWorkViewActiveAgain) {
  CWnd* left = Pane(0);
  CWnd* work = Pane(1);
  ASSERT_NE(nullptr, left);
  SendMessageA(left->m_hWnd, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(frame->m_hWnd),
               MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
  EXPECT_EQ(static_cast<CView*>(work), frame->GetActiveView());
}

