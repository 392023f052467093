// The serial download view in the program's frame: its controls at start, the library's
// notifications turned into log lines, bar and time text, the busy state and its lock, the
// cancel event a new view starts with and the one a view's own late cancel leaves, long
// lines the log scrolls to sideways; and with the library's real port on COM1 (the harness's
// COM2 plays the box): a view closed while the box's READY is answered, a box silent for
// the library's 120 s timer, and a port lost mid-download.
#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "CListBox.h"
#include "SerialPeer.h"
#include "ShellFixture.h"
#include "TempFile.h"
#include "TransferTimeText.h"
#include "VelTopView.h"
#include "VelManView.h"
#include "resource.h"

namespace {

std::vector<std::string> LogLines(HWND hView) {
  std::vector<std::string> lines;
  HWND hList = GetDlgItem(hView, IDC_LOG);
  const int count = static_cast<int>(SendMessageA(hList, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[512] = "";
    SendMessageA(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    lines.push_back(text);
  }
  return lines;
}

std::string ControlText(HWND hView, int id) {
  char text[512] = "";
  GetDlgItemTextA(hView, id, text, sizeof text);
  return text;
}

void Notify(HWND hView, const char* text, int kind) {
  SendMessageA(hView, WM_VELMAN_EVENT, reinterpret_cast<WPARAM>(text), kind);
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM windows) {
  reinterpret_cast<std::vector<HWND>*>(windows)->push_back(hWnd);
  return TRUE;
}

bool StartsWith(const std::string& line, const std::string& start) { return line.compare(0, start.size(), start) == 0; }

// Index of the last line that starts with `start`, or -1.
int LastLineStarting(const std::vector<std::string>& lines, const std::string& start) {
  for (int i = static_cast<int>(lines.size()) - 1; i >= 0; --i)
    if (StartsWith(lines[i], start)) return i;
  return -1;
}

// What a person sees of the idle state: Reset instead of Cancel, the buttons usable, Close
// in the system menu enabled and the banner unlocked.
void ExpectIdle(CMainFrame* frame, HWND hView, const char* when) {
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(hView, IDC_RESET))) << when;
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hView, IDC_CANCEL_TRANSFER))) << when;
  for (int id : {IDC_CONFIG_PORT, IDC_SELECT_FILE, IDC_RESET, IDC_LOG})
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hView, id))) << when << ": " << id;
  EXPECT_FALSE(CMainFrame::IsCloseGreyed(frame->m_hWnd)) << when;
  EXPECT_FALSE(frame->m_pTopView->m_bLocked) << when;
}

}  // namespace

class SerialView : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    view = dynamic_cast<CVelManView*>(Pane(1));
    ASSERT_NE(nullptr, view);
  }
  void TearDown() override {
    if (view && Pane(1) == view && view->Manager().IsConnectedComport()) view->Manager().StopTransfer();
    Shell::TearDown();
  }
  // The file chosen and armed, as OnSelectFile leaves it; true when the library's ready line came.
  bool Arm(const std::string& path) {
    SetDlgItemTextA(view->m_hWnd, IDC_FILEPATH, path.c_str());
    view->UpdateData(TRUE);
    view->Manager().ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, path.c_str());
    return PumpUntil([&] { return LastLineStarting(LogLines(view->m_hWnd), "N: Ready (") >= 0; }, 3000);
  }
  CVelManView* view = nullptr;
};

TEST_F(SerialView, StartsWithItsControlsInPlaceThePortSettingsAndTheTimeTextAtZero) {
  const struct {
    int id;
    CRect rect;
  } places[] = {{IDC_PORT, {125, 44, 209, 58}},         {IDC_BAUDRATE, {125, 69, 209, 83}},
                {IDC_DATABITS, {308, 44, 392, 58}},     {IDC_PARITY, {308, 69, 392, 83}},
                {IDC_FLOWCONTROL, {308, 95, 392, 109}}, {IDC_FILEPATH, {42, 143, 392, 157}},
                {IDC_LOG, {49, 258, 399, 299}},         {IDC_CONFIG_PORT, {420, 64, 498, 90}},
                {IDC_SELECT_FILE, {420, 138, 498, 164}}, {IDC_RESET, {420, 257, 498, 283}},
                {IDC_CANCEL_TRANSFER, {420, 257, 498, 283}}};
  for (const auto& p : places) EXPECT_EQ(p.rect, RectInParent(GetDlgItem(view->m_hWnd, p.id))) << p.id;
  EXPECT_EQ(CRect(49, 212, 399, 226), RectInParent(view->Progress().m_hWnd));
  char name[32] = "";
  GetWindowTextA(view->Progress().m_hWnd, name, sizeof name);
  EXPECT_STREQ("SNProgressWnd", name);

  for (int id : {IDC_PORT, IDC_BAUDRATE, IDC_DATABITS, IDC_PARITY, IDC_FLOWCONTROL}) {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(GetDlgItem(view->m_hWnd, id), GWL_STYLE));
    EXPECT_TRUE(style & ES_READONLY) << id;
    EXPECT_TRUE(style & ES_RIGHT) << id;
  }
  const DWORD listStyle = static_cast<DWORD>(GetWindowLongA(GetDlgItem(view->m_hWnd, IDC_LOG), GWL_STYLE));
  EXPECT_FALSE(listStyle & LBS_SORT);
  for (int id : {IDC_GROUP_PORT, IDC_GROUP_FILE, IDC_GROUP_PROGRESS, IDC_GROUP_LOG, IDC_TIME_LABEL})
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(view->m_hWnd, id))) << id;

  EXPECT_EQ("1", ControlText(view->m_hWnd, IDC_PORT));
  EXPECT_EQ("115200", ControlText(view->m_hWnd, IDC_BAUDRATE));
  EXPECT_EQ("8", ControlText(view->m_hWnd, IDC_DATABITS));
  EXPECT_EQ("none", ControlText(view->m_hWnd, IDC_PARITY));
  EXPECT_EQ("none", ControlText(view->m_hWnd, IDC_FLOWCONTROL));
  EXPECT_EQ("", ControlText(view->m_hWnd, IDC_FILEPATH));
  EXPECT_EQ(CTransferTimeText::kResetText, view->TimeText());
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_RESET)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_CANCEL_TRANSFER)));
  // Every button is owner-drawn by its skin.
  for (int id : {IDC_CONFIG_PORT, IDC_SELECT_FILE, IDC_RESET, IDC_CANCEL_TRANSFER})
    EXPECT_EQ(static_cast<LONG>(BS_OWNERDRAW), GetWindowLongA(GetDlgItem(view->m_hWnd, id), GWL_STYLE) & BS_TYPEMASK);
}

TEST_F(SerialView, NotificationsBecomeStampedLinesAndMoveTheBarTheTimeAndThePath) {
  Notify(view->m_hWnd, "COM Port Monitoring Started", 0);
  Notify(view->m_hWnd, "Header Error", 1);
  Notify(view->m_hWnd, "odd", 7);
  const std::vector<std::string> lines = LogLines(view->m_hWnd);
  ASSERT_EQ(3u, lines.size());
  const std::regex stamp(" \\[[0-9]{2}:[0-9]{2}\\.[0-9]{2}\\]$");
  EXPECT_TRUE(std::regex_search(lines[0], stamp)) << lines[0];
  EXPECT_EQ(0u, lines[0].find("N: COM Port Monitoring Started ["));
  EXPECT_EQ(0u, lines[1].find("E: Header Error ["));
  EXPECT_EQ(0u, lines[2].find("U: odd ["));
  // The newest line is selected, so it is in view.
  EXPECT_EQ(2, SendMessageA(GetDlgItem(view->m_hWnd, IDC_LOG), LB_GETCURSEL, 0, 0));

  // Progress before any total does nothing; the total starts the clock.
  Notify(view->m_hWnd, "100l", 3);
  EXPECT_EQ(0, view->Progress().m_nPos);
  Notify(view->m_hWnd, "14444l", 4);
  EXPECT_EQ(14444u, view->TotalSize());
  Notify(view->m_hWnd, "7222l", 3);
  EXPECT_EQ(50, view->Progress().m_nPos);
  // Within the first second the time text stays at zero.
  EXPECT_EQ(CTransferTimeText::kResetText, view->TimeText());

  // Completion empties the path shown.
  SetDlgItemTextA(view->m_hWnd, IDC_FILEPATH, "Z:\\tmp\\box.img");
  view->UpdateData(TRUE);
  Notify(view->m_hWnd, nullptr, 5);
  EXPECT_EQ("", ControlText(view->m_hWnd, IDC_FILEPATH));
  EXPECT_EQ("", view->FilePath());
}

TEST_F(SerialView, BusyGreysTheButtonsSwapsResetForCancelAndLocksTheFrame) {
  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
  for (int id : {IDC_CONFIG_PORT, IDC_SELECT_FILE, IDC_RESET, IDC_LOG})
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(view->m_hWnd, id))) << id;
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_RESET)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_CANCEL_TRANSFER)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view->m_hWnd, IDC_CANCEL_TRANSFER)));
  EXPECT_TRUE(CMainFrame::IsCloseGreyed(frame->m_hWnd));
  EXPECT_TRUE(frame->m_pTopView->m_bLocked);

  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 0, 0);
  for (int id : {IDC_CONFIG_PORT, IDC_SELECT_FILE, IDC_RESET, IDC_LOG})
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view->m_hWnd, id))) << id;
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_RESET)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(view->m_hWnd, IDC_CANCEL_TRANSFER)));
  EXPECT_FALSE(CMainFrame::IsCloseGreyed(frame->m_hWnd));
}

TEST_F(SerialView, ResetEmptiesTheLogThePathAndTheTimeText) {
  Notify(view->m_hWnd, "Ready", 0);
  Notify(view->m_hWnd, "10240l", 4);
  Notify(view->m_hWnd, "5120l", 3);
  SetDlgItemTextA(view->m_hWnd, IDC_FILEPATH, "Z:\\tmp\\box.img");
  view->UpdateData(TRUE);
  SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(view->m_hWnd, IDC_RESET)));
  EXPECT_TRUE(LogLines(view->m_hWnd).empty());
  EXPECT_EQ("", ControlText(view->m_hWnd, IDC_FILEPATH));
  EXPECT_EQ(CTransferTimeText::kResetText, view->TimeText());
  EXPECT_EQ(0, view->Progress().m_nPos);
  EXPECT_EQ(0u, view->TotalSize());
}

// A cancel the library confirmed after its view had stopped waiting leaves the cancel event
// signalled. Neither the serial view made after a trip to USB mode nor the same view may
// take that as the confirmation of its next Cancel: nothing answers it, so after the
// second's wait it ends in "Canceled!!!".
TEST_F(SerialView, ACancelIsNotConfirmedByTheEventALateConfirmationLeftSignalled) {
  const struct {
    const char* name;
    bool newView;
  } cases[] = {{"the view made after serial, USB, serial", true}, {"the same view", false}};
  for (const auto& c : cases) {
    SetEvent(view->Manager().m_hCancelEvent);  // the late confirmation
    if (c.newView) {
      frame->SwitchMode(CMainFrame::kUsbMode);
      frame->SwitchMode(CMainFrame::kSerialMode);
      view = dynamic_cast<CVelManView*>(Pane(1));
      ASSERT_NE(nullptr, view);
    }
    SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
    const DWORD start = GetTickCount();
    SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_TRANSFER, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(view->m_hWnd, IDC_CANCEL_TRANSFER)));
    EXPECT_GE(GetTickCount() - start, 900u) << c.name;
    const std::vector<std::string> lines = LogLines(view->m_hWnd);
    ASSERT_FALSE(lines.empty()) << c.name;
    EXPECT_TRUE(StartsWith(lines.back(), "Canceled!!! [")) << lines.back();
    EXPECT_FALSE(CMainFrame::IsCloseGreyed(frame->m_hWnd)) << c.name;
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(view->Manager().m_hCancelEvent, 0)) << c.name;
  }
}

// The library's reader paints whatever the view leaves to paint (UpdateWindow after each
// notification) before it sends the box its header or block. While busy, the view leaves it
// nothing: a request byte, a section header or a line redraw nothing, and the event of a
// block already on the line has painted the bar itself.
TEST_F(SerialView, WhileBusyNothingIsLeftToPaintForTheLibrarysReader) {
  HWND hView = view->m_hWnd;
  auto somethingToPaint = [&] {
    std::vector<HWND> windows{hView};
    EnumChildWindows(hView, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND h : windows)
      if (IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE)) return true;
    return false;
  };
  SendMessageA(hView, WM_VELMAN_INPROCESS, 1, 0);
  Notify(hView, "57600l", 4);
  Notify(hView, "0l", 3);
  Notify(hView, "1088l", 3);  // 1 %
  const struct {
    const char* name;
    const char* text;
    int kind;
  } events[] = {
      {"first byte of the next block request", "1088l", 3},
      {"a line", "Received HEADER_REP from STB", 0},
      {"a section header sent", "1152l", 3},  // 2 %
      {"a block sent", "2176l", 3},
  };
  for (const auto& e : events) {
    PumpFor(50);
    ASSERT_FALSE(somethingToPaint()) << e.name;
    Notify(hView, e.text, e.kind);
    EXPECT_FALSE(somethingToPaint()) << e.name;
  }
  EXPECT_EQ(3, view->Progress().m_nPos);  // 2176 of 57600 bytes
  // The line came with the block; one with no block after it comes within a tenth of a second.
  EXPECT_EQ(0, LastLineStarting(LogLines(hView), "N: Received HEADER_REP from STB ["));
  Notify(hView, "Header Error", 1);
  EXPECT_TRUE(PumpUntil([&] { return LastLineStarting(LogLines(hView), "E: Header Error [") == 1; }, 1000));
}

// A line wider than the list (the library's refusal texts are) can be scrolled to in full,
// time stamp included; Reset empties the log and narrows it again.
TEST_F(SerialView, ALineWiderThanTheLogCanBeScrolledToInFullAndResetNarrowsTheLogAgain) {
  HWND hList = GetDlgItem(view->m_hWnd, IDC_LOG);
  Notify(view->m_hWnd, "Image file is invalid: a section runs past the end of the image.", 1);
  const std::string line = LogLines(view->m_hWnd).back();
  HDC dc = GetDC(hList);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hList, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hList, dc);
  RECT client;
  GetClientRect(hList, &client);
  ASSERT_GT(size.cx, client.right);
  const LRESULT extent = SendMessageA(hList, LB_GETHORIZONTALEXTENT, 0, 0);
  EXPECT_GE(extent, size.cx);
  Notify(view->m_hWnd, "short", 0);  // keeps the extent the long line needs
  EXPECT_EQ(extent, SendMessageA(hList, LB_GETHORIZONTALEXTENT, 0, 0));
  SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_RESET, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(view->m_hWnd, IDC_RESET)));
  EXPECT_EQ(0, SendMessageA(hList, LB_GETHORIZONTALEXTENT, 0, 0));
}

// The person clicks "USB" just as the box's READY arrives: the library answers it while the
// closing view stops the transfer, and its "busy" must not lock the frame for good.
TEST_F(SerialView, AViewClosedWhileTheBoxsReadyIsAnsweredLeavesTheFrameUnlocked) {
  TempFile image("closing-view.img", std::vector<unsigned char>(2048, 0x5A));
  SerialPeer box(2);
  ASSERT_TRUE(box.IsOpen());
  ASSERT_TRUE(Arm(image.path()));
  box.WriteByte(0x22);  // SYNC: the library loads the image, echoes and moves to 115200 baud
  ASSERT_TRUE(PumpUntil([&] { return view->TotalSize() != 0; }, 3000));
  ASSERT_TRUE(PumpUntil([&] { return LastLineStarting(LogLines(view->m_hWnd), "N: Initialize COM Port [1, 115200]") >= 0; },
                        3000));
  PumpFor(400);  // the library's pause after reopening the port
  box.Purge();
  box.WriteByte(0x05);  // READY
  // The reader takes it and waits in its first notification, which this thread, not
  // pumping, leaves pending: it arrives during the closing view's stop. (Waiting for it this
  // way leaves it new to the queue, as a message that came while a click was handled.)
  ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), MsgWaitForMultipleObjects(0, nullptr, FALSE, 3000, QS_SENDMESSAGE));

  frame->SwitchMode(CMainFrame::kUsbMode);
  EXPECT_EQ("CVelManUSBView", ClassOf(Pane(1)));
  view = nullptr;
  EXPECT_FALSE(CMainFrame::IsCloseGreyed(frame->m_hWnd));
  EXPECT_FALSE(frame->m_pTopView->m_bLocked);
  CWnd* left = Pane(0);
  ASSERT_NE(nullptr, left);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(left->m_hWnd, 1000)));
}

// The library restarts timer 10 after every byte of the box; it fires after 120 s of silence.
// Busy, that is a box gone quiet mid-download: the view says so, stops, is idle and arms the
// same file again. Idle (armed, waiting for the box), it only stops the timer.
TEST_F(SerialView, TheSilenceTimerWhileBusyEndsTheDownloadInWordsAndArmsTheFileAgainWhileIdleItOnlyStops) {
  const std::string silence =
      "No data from STB for 120 s: download stopped. Check the cable and the STB's power, then restart the STB. [";
  TempFile image("silent-box.img", std::vector<unsigned char>(2048, 0x5A));
  const struct {
    const char* name;
    bool busy;
    bool lineAndRearm;
  } cases[] = {{"busy", true, true}, {"idle", false, false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Arm(image.path())) << c.name;
    if (c.busy) SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
    const size_t before = LogLines(view->m_hWnd).size();
    SendMessageA(view->m_hWnd, WM_TIMER, CVelManView::kSilenceTimer, 0);
    PumpFor(100);
    const std::vector<std::string> lines = LogLines(view->m_hWnd);
    const int said = LastLineStarting(lines, silence);
    ExpectIdle(frame, view->m_hWnd, c.name);
    EXPECT_TRUE(view->Manager().IsConnectedComport()) << c.name;
    EXPECT_EQ(image.path(), view->FilePath()) << c.name;
    if (!c.lineAndRearm) {
      EXPECT_EQ(before, lines.size()) << c.name;
      continue;
    }
    ASSERT_GE(said, static_cast<int>(before)) << c.name;
    // Armed again: the library reports the port opened and the file ready after the line,
    // which stays selected and in view.
    EXPECT_GT(LastLineStarting(lines, "N: Ready ("), said) << c.name;
    EXPECT_EQ(said, SendDlgItemMessageA(view->m_hWnd, IDC_LOG, LB_GETCURSEL, 0, 0)) << c.name;
    EXPECT_EQ(said, SendDlgItemMessageA(view->m_hWnd, IDC_LOG, LB_GETTOPINDEX, 0, 0)) << c.name;
    EXPECT_EQ(1, std::count_if(lines.begin() + before, lines.end(),
                               [&](const std::string& l) { return StartsWith(l, silence); }))
        << c.name;
  }
}

// The library reports a lost port with a line of its own and "idle" with the port closed:
// the view is idle at once with that line in view, and arming the file again opens the port.
TEST_F(SerialView, ALostPortLeavesTheViewIdleAndArmingTheFileAgainOpensThePort) {
  TempFile image("lost-port.img", std::vector<unsigned char>(2048, 0x5A));
  ASSERT_TRUE(Arm(image.path()));
  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
  ASSERT_TRUE(CMainFrame::IsCloseGreyed(frame->m_hWnd));

  view->Manager().StopTransfer();  // the port is gone
  Notify(view->m_hWnd, "ReadFile failed (error 5)", 1);
  Notify(view->m_hWnd, "Lost COM1 (error 5): check the cable or the USB-serial adapter.", 1);
  // The library's own lines after it would push it out of the list's two visible rows.
  for (int i = 0; i < 3; ++i) Notify(view->m_hWnd, "Uninitialize COM Port", 0);
  Notify(view->m_hWnd, "COM port monitoring stopped", 0);
  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 0, 0);
  ExpectIdle(frame, view->m_hWnd, "after the lost port");
  const int lost = LastLineStarting(LogLines(view->m_hWnd), "E: Lost COM1 (error 5): check the cable or the USB-serial adapter. [");
  ASSERT_GE(lost, 0);
  EXPECT_FALSE(view->Manager().IsConnectedComport());
  HWND hList = GetDlgItem(view->m_hWnd, IDC_LOG);
  EXPECT_EQ(lost, SendMessageA(hList, LB_GETCURSEL, 0, 0));
  EXPECT_EQ(lost, SendMessageA(hList, LB_GETTOPINDEX, 0, 0));

  Arm(image.path());
  EXPECT_TRUE(PumpUntil([&] { return LastLineStarting(LogLines(view->m_hWnd), "N: Ready (") > lost; }, 3000));
  EXPECT_TRUE(view->Manager().IsConnectedComport());
  ExpectIdle(frame, view->m_hWnd, "armed again");
  EXPECT_EQ(lost, SendMessageA(hList, LB_GETCURSEL, 0, 0)) << "held until the box starts again";
  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
  Notify(view->m_hWnd, "Received READY from STB", 0);
  SendMessageA(view->m_hWnd, WM_VELMAN_INPROCESS, 0, 0);
  EXPECT_EQ(static_cast<LRESULT>(LogLines(view->m_hWnd).size()) - 1, SendMessageA(hList, LB_GETCURSEL, 0, 0))
      << "the newest line is selected again";
}
