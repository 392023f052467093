// The main frame in the test process, after the program's own start-up: layout, mode
// switching, work-view selection, the busy lock, F1 and the shape timer.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CDocument.h"
#include "ShellFixture.h"
#include "UserMessages.h"
#include "VelBottomView.h"
#include "VelLeftMenuView.h"
#include "VelTopView.h"
#include "VelUSBLeftMenuView.h"

using Events = std::vector<std::string>;

namespace {

// Records the windows that one message is sent to on this thread.
class SentMessageRecorder {
 public:
  explicit SentMessageRecorder(UINT message) : m_message(message) {
    s_self = this;
    m_hHook = SetWindowsHookExA(WH_CALLWNDPROC, Hook, nullptr, GetCurrentThreadId());
  }
  ~SentMessageRecorder() {
    UnhookWindowsHookEx(m_hHook);
    s_self = nullptr;
  }
  std::vector<HWND> targets;

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    auto* cwp = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && s_self && cwp->message == s_self->m_message) s_self->targets.push_back(cwp->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static SentMessageRecorder* s_self;
  UINT m_message;
  HHOOK m_hHook;
};
SentMessageRecorder* SentMessageRecorder::s_self = nullptr;

bool HasRegion(HWND hWnd, CRect* pBox = nullptr) {
  HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
  const bool has = GetWindowRgn(hWnd, hRgn) != ERROR;
  if (has && pBox) GetRgnBox(hRgn, pBox);
  DeleteObject(hRgn);
  return has;
}

}  // namespace

TEST_F(Shell, StartsInSerialModeWithTheFixedLayoutAndAllViewsOnOneDocument) {
  char title[64] = "";
  GetWindowTextA(frame->m_hWnd, title, sizeof title);
  EXPECT_STREQ("Stelvar v1.0.2", title);
  const DWORD style = frame->GetStyle();
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));
  EXPECT_TRUE(style & WS_DLGFRAME);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_TRUE(frame->IsWindowVisible());
  EXPECT_NE(0, SendMessageA(frame->m_hWnd, WM_GETICON, ICON_BIG, 0));
  EXPECT_EQ(CRect(0, 0, 700, 500), frame->GetClientRect());

  EXPECT_EQ(0, frame->m_nMode);
  EXPECT_EQ(1000, frame->m_nWorkView);
  EXPECT_TRUE(frame->m_bRectShape);
  EXPECT_EQ("CVelLeftMenuView", ClassOf(Pane(0)));
  EXPECT_EQ("CVelManView", ClassOf(Pane(1)));
  EXPECT_EQ(Pane(1), frame->GetActiveView());

  ASSERT_NE(nullptr, frame->m_pTopView);
  ASSERT_NE(nullptr, frame->m_pBottomView);
  EXPECT_EQ(CRect(0, 0, 700, 124), RectInParent(frame->m_pTopView->m_hWnd));
  EXPECT_EQ(CRect(0, 124, 700, 449), RectInParent(frame->m_wndSplitter.m_hWnd));
  EXPECT_EQ(CRect(0, 449, 700, 500), RectInParent(frame->m_pBottomView->m_hWnd));
  EXPECT_EQ(CRect(0, 0, 170, 325), RectInParent(Pane(0)->m_hWnd));
  EXPECT_EQ(CRect(171, 0, 700, 325), RectInParent(Pane(1)->m_hWnd));
  EXPECT_TRUE(frame->m_pTopView->IsWindowVisible());
  EXPECT_TRUE(frame->m_pBottomView->IsWindowVisible());

  CDocument* pDoc = frame->GetActiveDocument();
  ASSERT_NE(nullptr, pDoc);
  EXPECT_STREQ("CVelManDoc", pDoc->GetRuntimeClass()->m_lpszClassName);
  EXPECT_EQ(4u, pDoc->GetViews().size());
  EXPECT_EQ("Korvantex", theApp.m_strRegistryKey);
  EXPECT_EQ("Stelvar V1.0.2", theApp.m_strAppName);
}

TEST_F(Shell, TheGapBetweenThePanesIsTheBackgroundColourWithOneMarkerPixel) {
  PumpFor(200);
  UpdateWindow(frame->m_wndSplitter.m_hWnd);
  HDC hdc = GetDC(frame->m_wndSplitter.m_hWnd);
  EXPECT_EQ(RGB(132, 157, 188), GetPixel(hdc, 170, 54));
  EXPECT_EQ(RGB(206, 219, 234), GetPixel(hdc, 170, 53));
  EXPECT_EQ(RGB(206, 219, 234), GetPixel(hdc, 170, 55));
  EXPECT_EQ(RGB(206, 219, 234), GetPixel(hdc, 170, 300));
  ReleaseDC(frame->m_wndSplitter.m_hWnd, hdc);

  // Dragging in the gap changes nothing.
  HWND hSplitter = frame->m_wndSplitter.m_hWnd;
  SendMessageA(hSplitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(170, 100));
  SendMessageA(hSplitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(260, 100));
  SendMessageA(hSplitter, WM_LBUTTONUP, 0, MAKELPARAM(260, 100));
  PumpFor(50);
  EXPECT_EQ(170, RectInParent(Pane(0)->m_hWnd).Width());
  EXPECT_EQ(LoadCursor(nullptr, IDC_ARROW), reinterpret_cast<HCURSOR>(GetClassLongPtrA(hSplitter, GCLP_HCURSOR)));
}

TEST_F(Shell, SwitchModeDestroysTheWorkViewFirstAndRebuildsNothingForTheModeAlreadyOn) {
  HWND hSplitter = frame->m_wndSplitter.m_hWnd;
  {
    ChildLifeRecorder life(hSplitter);
    frame->SwitchMode(1);
    EXPECT_EQ((Events{"destroy CVelManView", "destroy CVelLeftMenuView", "create CVelUSBLeftMenuView",
                      "create CVelManUSBView"}),
              life.Events());
  }
  EXPECT_EQ(1, frame->m_nMode);
  EXPECT_EQ(Pane(1), frame->GetActiveView());
  EXPECT_EQ(CRect(0, 0, 170, 325), RectInParent(Pane(0)->m_hWnd));
  EXPECT_EQ(CRect(171, 0, 700, 325), RectInParent(Pane(1)->m_hWnd));
  EXPECT_EQ(4u, frame->GetActiveDocument()->GetViews().size());

  const HWND hLeft = Pane(0)->m_hWnd;
  const HWND hWork = Pane(1)->m_hWnd;
  {
    ChildLifeRecorder life(hSplitter);
    frame->SwitchMode(1);
    frame->SwitchMode(7);
    EXPECT_TRUE(life.Events().empty());
  }
  EXPECT_EQ(hLeft, Pane(0)->m_hWnd);
  EXPECT_EQ(hWork, Pane(1)->m_hWnd);

  {
    ChildLifeRecorder life(hSplitter);
    frame->SwitchMode(0);
    EXPECT_EQ((Events{"destroy CVelManUSBView", "destroy CVelUSBLeftMenuView", "create CVelLeftMenuView",
                      "create CVelManView"}),
              life.Events());
  }
  EXPECT_EQ(0, frame->m_nMode);
  EXPECT_EQ(4u, frame->GetActiveDocument()->GetViews().size());
}

TEST_F(Shell, SelectWorkViewSwapsTheSerialWorkViewUnderTheWaitCursor) {
  HWND hSplitter = frame->m_wndSplitter.m_hWnd;
  const HCURSOR before = GetCursor();
  {
    ChildLifeRecorder life(hSplitter);
    frame->SelectWorkView(1001);
    EXPECT_EQ((Events{"destroy CVelManView", "create CVelManSWUpgradeView"}), life.Events());
    EXPECT_TRUE(life.WaitCursorAtCreate());
  }
  EXPECT_EQ(before, GetCursor());
  EXPECT_EQ(1001, frame->m_nWorkView);
  EXPECT_EQ(Pane(1), frame->GetActiveView());
  EXPECT_EQ(CRect(171, 0, 700, 325), RectInParent(Pane(1)->m_hWnd));
  // The placeholder is its template: one static text "Static" at (12, 12) dialog units.
  HWND hStatic = GetWindow(Pane(1)->m_hWnd, GW_CHILD);
  ASSERT_NE(nullptr, hStatic);
  char text[32] = "";
  GetWindowTextA(hStatic, text, sizeof text);
  EXPECT_STREQ("Static", text);
  CRect units(12, 12, 37, 20);
  MapDialogRect(Pane(1)->m_hWnd, &units);
  EXPECT_EQ(units, RectInParent(hStatic));

  {
    ChildLifeRecorder life(hSplitter);
    frame->SelectWorkView(1001);  // already there
    frame->SelectWorkView(1005);  // no such kind
    EXPECT_TRUE(life.Events().empty());
  }
  EXPECT_EQ(before, GetCursor());
  EXPECT_EQ(1001, frame->m_nWorkView);

  // A mode switch brings the serial download view back as kind 1000.
  frame->SwitchMode(1);
  frame->SwitchMode(0);
  EXPECT_EQ(1000, frame->m_nWorkView);
  EXPECT_EQ("CVelManView", ClassOf(Pane(1)));
}

TEST_F(Shell, WhileBusyCloseIsGreyedAndNoCloseGetsThroughAfterwardsItCloses) {
  HWND hFrame = frame->m_hWnd;
  frame->SetBusy(TRUE);
  EXPECT_TRUE(GetMenuState(GetSystemMenu(hFrame, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(frame->m_pTopView->m_bLocked);
  EXPECT_TRUE(static_cast<CVelLeftMenuView*>(Pane(0))->IsBusy());

  {
    // The queued Close commands are dropped before they reach the frame, which would
    // otherwise send itself WM_CLOSE.
    SentMessageRecorder closes(WM_CLOSE);
    PostMessageA(hFrame, WM_SYSCOMMAND, SC_CLOSE, 0);
    // Alt+F4: the frame's default key handling posts the Close command.
    PostMessageA(hFrame, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    PumpFor(300);
    EXPECT_TRUE(closes.targets.empty());
  }
  // A Close sent directly (not through the queue) is refused as well.
  SendMessageA(hFrame, WM_CLOSE, 0, 0);
  PumpFor(50);
  ASSERT_TRUE(IsWindow(hFrame));
  EXPECT_FALSE(pump.QuitSeen());

  frame->SetBusy(FALSE);
  EXPECT_FALSE(GetMenuState(GetSystemMenu(hFrame, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(frame->m_pTopView->m_bLocked);
  EXPECT_FALSE(static_cast<CVelLeftMenuView*>(Pane(0))->IsBusy());
  PostMessageA(hFrame, WM_SYSKEYDOWN, VK_F4, 0x20000001);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hFrame); }, 5000));
  EXPECT_TRUE(PumpUntil([&] { return pump.QuitSeen(); }, 1000));
  EXPECT_EQ(nullptr, theApp.m_pMainWnd);
}

TEST_F(Shell, SetBusyReachesTheUsbLeftMenuInUsbMode) {
  frame->SwitchMode(1);
  frame->SetBusy(TRUE);
  EXPECT_TRUE(static_cast<CVelUSBLeftMenuView*>(Pane(0))->IsBusy());
  frame->SetBusy(FALSE);
  EXPECT_FALSE(static_cast<CVelUSBLeftMenuView*>(Pane(0))->IsBusy());
}

TEST_F(Shell, F1SendsShowAboutToTheWorkPaneWhereverTheFocusIs) {
  SentMessageRecorder about(WM_SHOW_ABOUT);
  // The serial view answers with the library's modal about box: a person closes each one.
  std::atomic<bool> watching{true};
  std::atomic<int> boxes{0};
  std::thread closer([&] {
    while (watching) {
      if (HWND hAbout = FindWindowA(nullptr, "About VelManager")) {
        ++boxes;
        SendMessageA(hAbout, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  });
  for (HWND hTarget : {Pane(1)->m_hWnd, frame->m_pTopView->m_hWnd, Pane(0)->m_hWnd}) {
    PostMessageA(hTarget, WM_KEYDOWN, VK_F1, 1);
    PostMessageA(hTarget, WM_KEYUP, VK_F1, 0xC0000001);
    PumpUntil([&] { return about.targets.size() == static_cast<size_t>(boxes); }, 3000);
    PumpFor(50);
  }
  watching = false;
  closer.join();
  EXPECT_EQ((std::vector<HWND>(3, Pane(1)->m_hWnd)), about.targets);
  EXPECT_EQ(3, boxes.load());

  // In USB mode the USB view gets it (and does nothing with it).
  frame->SwitchMode(1);
  about.targets.clear();
  PostMessageA(Pane(1)->m_hWnd, WM_KEYDOWN, VK_F1, 1);
  PumpFor(100);
  EXPECT_EQ(std::vector<HWND>{Pane(1)->m_hWnd}, about.targets);
  EXPECT_EQ(0, frame->ShowAbout());
}

TEST_F(Shell, AMissingWorkViewLeavesAUsableProgram) {
  // What a failed view creation leaves: an empty pane.
  frame->m_wndSplitter.DeleteView(0, 1);
  EXPECT_EQ(nullptr, frame->GetActiveView());
  EXPECT_EQ(0, frame->ShowAbout());
  frame->SetBusy(TRUE);
  EXPECT_TRUE(GetMenuState(GetSystemMenu(frame->m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  frame->SetBusy(FALSE);
  frame->SelectWorkView(1001);
  EXPECT_EQ("CVelManSWUpgradeView", ClassOf(Pane(1)));

  frame->m_wndSplitter.DeleteView(0, 1);
  frame->m_wndSplitter.DeleteView(0, 0);
  frame->SwitchMode(1);
  EXPECT_EQ("CVelUSBLeftMenuView", ClassOf(Pane(0)));
  EXPECT_EQ("CVelManUSBView", ClassOf(Pane(1)));
  EXPECT_EQ(4u, frame->GetActiveDocument()->GetViews().size());
}

TEST_F(Shell, TheWindowTurnsRoundAfterTheTimerFullOnAMouseMoveAndStaysFullWhileDragged) {
  HWND hFrame = frame->m_hWnd;
  EXPECT_FALSE(HasRegion(hFrame));
  ASSERT_TRUE(PumpUntil([&] { return !frame->m_bRectShape; }, 5000));
  // 1500 ms after the banner was made, which was after the start-up began (less the tick's grain).
  EXPECT_GE(GetTickCount() - startTick, 1480u);
  CRect box;
  ASSERT_TRUE(HasRegion(hFrame, &box));
  EXPECT_NEAR(700, box.Width(), 1);
  EXPECT_NEAR(500, box.Height(), 1);

  SendMessageA(frame->m_pTopView->m_hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 50));
  EXPECT_TRUE(frame->m_bRectShape);
  ASSERT_TRUE(HasRegion(hFrame, &box));
  EXPECT_EQ(frame->GetWindowRect().Width(), box.Width());
  EXPECT_EQ(frame->GetWindowRect().Height(), box.Height());

  // Dragging the window keeps restarting the timer.
  DWORD released = 0;
  for (int i = 0; i < 5; ++i) {
    RECT rect = frame->GetWindowRect();
    SendMessageA(hFrame, WM_MOVING, WMSZ_TOP, reinterpret_cast<LPARAM>(&rect));
    released = GetTickCount();
    PumpFor(500);
    EXPECT_TRUE(frame->m_bRectShape) << "step " << i;
  }
  ASSERT_TRUE(PumpUntil([&] { return !frame->m_bRectShape; }, 5000));
  EXPECT_GE(GetTickCount() - released, 1300u);
}
