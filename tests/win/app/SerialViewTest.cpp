// The serial download view in the program's frame: its controls at start, the library's
// notifications turned into log lines, bar and time text, the busy state and its lock, and
// the cancel event a new view starts with.
#include <regex>
#include <string>
#include <vector>

#include "CListBox.h"
#include "ShellFixture.h"
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

}  // namespace

class SerialView : public Shell {
 protected:
  void SetUp() override {
    Shell::SetUp();
    view = dynamic_cast<CVelManView*>(Pane(1));
    ASSERT_NE(nullptr, view);
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

// A cancel the library confirmed after the old view had stopped waiting leaves the shared
// event signalled; the serial view made after a trip to USB mode must not take that as the
// confirmation of its own first Cancel.
TEST_F(SerialView, AfterSerialUsbSerialTheFirstCancelIsNotConfirmedByAStaleEvent) {
  SetEvent(view->Manager().m_hCancelEvent);  // the late confirmation
  frame->SwitchMode(CMainFrame::kUsbMode);
  frame->SwitchMode(CMainFrame::kSerialMode);
  auto* fresh = dynamic_cast<CVelManView*>(Pane(1));
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(fresh->Manager().m_hCancelEvent, 0));

  // Nothing answers this Cancel: after the second's wait it ends in "Canceled!!!".
  SendMessageA(fresh->m_hWnd, WM_VELMAN_INPROCESS, 1, 0);
  const DWORD start = GetTickCount();
  SendMessageA(fresh->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_CANCEL_TRANSFER, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(fresh->m_hWnd, IDC_CANCEL_TRANSFER)));
  EXPECT_GE(GetTickCount() - start, 900u);
  const std::vector<std::string> lines = LogLines(fresh->m_hWnd);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(0u, lines.back().find("Canceled!!! ["));
  EXPECT_FALSE(CMainFrame::IsCloseGreyed(frame->m_hWnd));
}
