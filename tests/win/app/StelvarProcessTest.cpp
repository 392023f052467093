// Stelvar.exe as a user starts it: a separate process, found by its window, driven by
// window messages and read back from outside.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CRect.h"
#include "TempFile.h"

namespace {

const char kTitle[] = "Stelvar v1.0.2";
const char kFrameClass[] = "Stelvar.Frame";

std::string BinDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

struct FindByPid {
  DWORD pid;
  const char* cls;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectByPid(HWND hWnd, LPARAM lParam) {
  auto* find = reinterpret_cast<FindByPid*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  char cls[64] = "";
  GetClassNameA(hWnd, cls, sizeof cls);
  if (pid == find->pid && (!find->cls || lstrcmpA(cls, find->cls) == 0)) find->found.push_back(hWnd);
  return TRUE;
}

// Top-level windows of the process, of one class (any class when cls is null).
std::vector<HWND> WindowsOf(DWORD pid, const char* cls) {
  FindByPid find{pid, cls, {}};
  EnumWindows(CollectByPid, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

int CountMainWindows() {
  int count = 0;
  for (HWND h = FindWindowA(kFrameClass, kTitle); h; h = FindWindowExA(nullptr, h, kFrameClass, kTitle)) ++count;
  return count;
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

// One run of Stelvar.exe; ended by force if the test has not ended it.
class StelvarProcess {
 public:
  explicit StelvarProcess(const std::string& args = "") {
    std::string cmd = "\"" + BinDir() + "Stelvar.exe\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started = CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi) != 0;
  }
  ~StelvarProcess() {
    if (!started) return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(m_pi.hProcess, 99);
      WaitForSingleObject(m_pi.hProcess, 10000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
  }
  // Its main window, once start-up has shown it (null on timeout).
  HWND MainWindow(DWORD timeoutMs = 20000) {
    HWND hWnd = nullptr;
    WaitFor(
        [&] {
          std::vector<HWND> frames = WindowsOf(m_pi.dwProcessId, kFrameClass);
          hWnd = frames.empty() || !IsWindowVisible(frames[0]) ? nullptr : frames[0];
          return hWnd != nullptr || Ended(0);
        },
        timeoutMs);
    // Shown is not yet laid out: wait until start-up has finished and the program waits for input.
    if (hWnd) WaitForInputIdle(m_pi.hProcess, timeoutMs);
    // Wine may report input idle at a message peek early in start-up: wait for the layout too.
    if (hWnd)
      WaitFor(
          [&] {
            RECT client;
            GetClientRect(hWnd, &client);
            bool bottomShown = false;  // the last view start-up shows
            for (HWND h = GetWindow(hWnd, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
              RECT r;
              GetWindowRect(h, &r);
              MapWindowPoints(nullptr, hWnd, reinterpret_cast<POINT*>(&r), 2);
              bottomShown |= r.top == 449 && r.bottom == 500 && IsWindowVisible(h);
            }
            return client.right == 700 && client.bottom == 500 && bottomShown &&
                   IsWindowVisible(GetDlgItem(GetDlgItem(hWnd, 0xE900), 0xE901)) != FALSE;
          },
          5000);
    return hWnd;
  }
  bool Ended(DWORD timeoutMs) { return WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() {
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
  }
  DWORD Pid() const { return m_pi.dwProcessId; }
  bool started = false;

 private:
  PROCESS_INFORMATION m_pi{};
};

CRect ClientRectOnScreen(HWND hWnd) {
  CRect rect;
  GetClientRect(hWnd, &rect);
  MapWindowPoints(hWnd, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

CRect RectInParent(HWND hChild) {
  CRect rect;
  GetWindowRect(hChild, &rect);
  MapWindowPoints(nullptr, GetParent(hChild), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool RegionBox(HWND hWnd, CRect& box) {
  HRGN hRgn = CreateRectRgn(0, 0, 0, 0);
  const bool has = GetWindowRgn(hWnd, hRgn) != ERROR;
  if (has) GetRgnBox(hRgn, &box);
  DeleteObject(hRgn);
  return has;
}

// The banner: the frame's child at the top, 700 x 124.
HWND TopView(HWND hFrame) {
  for (HWND h = GetWindow(hFrame, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (RectInParent(h) == CRect(0, 0, 700, 124)) return h;
  return nullptr;
}

class StelvarExe : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(0, CountMainWindows()) << "another Stelvar is running"; }
};

}  // namespace

TEST_F(StelvarExe, OpensItsTitledWindowWithTheFixedLayoutAndClosesOnRequest) {
  StelvarProcess stelvar;
  ASSERT_TRUE(stelvar.started);
  HWND hFrame = stelvar.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  char title[64] = "";
  GetWindowTextA(hFrame, title, sizeof title);
  EXPECT_STREQ(kTitle, title);
  EXPECT_TRUE(IsWindowVisible(hFrame));
  EXPECT_EQ(700, ClientRectOnScreen(hFrame).Width());
  EXPECT_EQ(500, ClientRectOnScreen(hFrame).Height());

  HWND hTop = TopView(hFrame);
  ASSERT_NE(nullptr, hTop);
  HWND hSplitter = GetDlgItem(hFrame, 0xE900);
  ASSERT_NE(nullptr, hSplitter);
  EXPECT_EQ(CRect(0, 124, 700, 449), RectInParent(hSplitter));
  bool bottomFound = false;
  for (HWND h = GetWindow(hFrame, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    bottomFound |= RectInParent(h) == CRect(0, 449, 700, 500) && IsWindowVisible(h);
  EXPECT_TRUE(bottomFound);
  EXPECT_TRUE(IsWindowVisible(hTop));
  HWND hLeft = GetDlgItem(hSplitter, 0xE900);
  HWND hWork = GetDlgItem(hSplitter, 0xE901);
  ASSERT_NE(nullptr, hLeft);
  ASSERT_NE(nullptr, hWork);
  EXPECT_EQ(170, RectInParent(hLeft).Width());
  EXPECT_EQ(529, RectInParent(hWork).Width());
  EXPECT_EQ(171, RectInParent(hWork).left);
  EXPECT_EQ(325, RectInParent(hWork).Height());

  PostMessageA(hFrame, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(stelvar.Ended(15000));
  EXPECT_EQ(0u, stelvar.ExitCode());
}

TEST_F(StelvarExe, TheClientAreaStays700By500AtItsTopLeftCornerWhateverTheResizeAttempt) {
  StelvarProcess stelvar;
  HWND hFrame = stelvar.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  auto fixedAt = [&](int x, int y) {
    return WaitFor(
        [&] {
          CRect window;
          GetWindowRect(hFrame, &window);
          const CRect client = ClientRectOnScreen(hFrame);
          return window.left == x && window.top == y && client.Width() == 700 && client.Height() == 500;
        },
        3000);
  };

  MoveWindow(hFrame, 120, 90, 300, 200, TRUE);
  EXPECT_TRUE(fixedAt(120, 90));
  SetWindowPos(hFrame, nullptr, 0, 0, 1000, 900, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(fixedAt(120, 90));
  // Other frame metrics: a sizing border makes the window larger, not the client area smaller.
  SetWindowLongA(hFrame, GWL_STYLE, GetWindowLongA(hFrame, GWL_STYLE) | WS_THICKFRAME);
  SetWindowPos(hFrame, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  EXPECT_TRUE(fixedAt(120, 90));
  // The children keep their places too.
  EXPECT_EQ(CRect(0, 124, 700, 449), RectInParent(GetDlgItem(hFrame, 0xE900)));
}

TEST_F(StelvarExe, RoundedOutline1500msAfterStartFullOutlineWhileThePointerMovesOverTheBanner) {
  StelvarProcess stelvar;
  HWND hFrame = stelvar.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  const DWORD found = GetTickCount();
  CRect box;
  EXPECT_FALSE(RegionBox(hFrame, box)) << "rounded too early";
  ASSERT_TRUE(WaitFor([&] { return RegionBox(hFrame, box); }, 6000));
  EXPECT_GE(GetTickCount() - found, 1000u);

  CRect window;
  GetWindowRect(hFrame, &window);
  const CRect client = ClientRectOnScreen(hFrame);
  const int bx = client.left - window.left;
  const int by = client.top - window.top;
  EXPECT_EQ(bx, box.left);
  EXPECT_EQ(by, box.top);
  EXPECT_NEAR(window.Width() - bx, box.right, 1);
  EXPECT_NEAR(window.Height() - bx, box.bottom, 1);

  HWND hTop = TopView(hFrame);
  ASSERT_NE(nullptr, hTop);
  PostMessageA(hTop, WM_MOUSEMOVE, 0, MAKELPARAM(350, 40));
  ASSERT_TRUE(WaitFor([&] { return RegionBox(hFrame, box) && box == CRect(0, 0, window.Width(), window.Height()); },
                      2000));
  const DWORD moved = GetTickCount();
  Sleep(400);
  ASSERT_TRUE(RegionBox(hFrame, box));
  EXPECT_EQ(CRect(0, 0, window.Width(), window.Height()), box) << "rounded again too early";
  ASSERT_TRUE(WaitFor([&] { return RegionBox(hFrame, box) && box.left == bx; }, 6000));
  EXPECT_GE(GetTickCount() - moved, 1000u);
}

TEST_F(StelvarExe, ASecondStartBringsTheFirstToTheTopAndEnds) {
  StelvarProcess first;
  HWND hFrame = first.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  // Something of ours on top of it.
  HWND hCover = CreateWindowExA(0, "STATIC", "cover", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  SetWindowPos(hCover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  StelvarProcess second;
  ASSERT_TRUE(second.started);
  EXPECT_TRUE(second.Ended(20000));
  EXPECT_TRUE(WindowsOf(second.Pid(), kFrameClass).empty());
  EXPECT_EQ(1, CountMainWindows());
  EXPECT_FALSE(first.Ended(0));
  // The first copy's window is now above ours.
  bool frameFirst = false;
  for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (h == hFrame || h == hCover) {
      frameFirst = h == hFrame;
      break;
    }
  }
  EXPECT_TRUE(frameFirst);
  DestroyWindow(hCover);
}

TEST_F(StelvarExe, AnotherProgramsWindowWithTheSameTitleDoesNotKeepItFromStarting) {
  HWND hForeign = CreateWindowExA(0, "STATIC", kTitle, WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
  ASSERT_TRUE(hForeign);
  StelvarProcess stelvar;
  EXPECT_NE(nullptr, stelvar.MainWindow());
  EXPECT_FALSE(stelvar.Ended(0));
  DestroyWindow(hForeign);
}

TEST_F(StelvarExe, TheEmbeddingAndAutomationSwitchesRunWithoutAnyWindow) {
  for (const char* sw : {"/Embedding", "-Automation"}) {
    StelvarProcess stelvar(sw);
    ASSERT_TRUE(stelvar.started);
    Sleep(2500);
    EXPECT_FALSE(stelvar.Ended(0)) << sw;
    std::vector<HWND> visible;
    for (HWND h : WindowsOf(stelvar.Pid(), nullptr))
      if (IsWindowVisible(h)) visible.push_back(h);
    EXPECT_TRUE(visible.empty()) << sw;
    EXPECT_TRUE(WindowsOf(stelvar.Pid(), kFrameClass).empty()) << sw;
  }
}

TEST_F(StelvarExe, ADocumentOnTheCommandLineMustOpenTheTitleNeverShowsIt) {
  {
    StelvarProcess stelvar("C:\\no\\such\\folder\\box.velf");
    std::vector<HWND> boxes;
    ASSERT_TRUE(WaitFor([&] { return !(boxes = WindowsOf(stelvar.Pid(), "#32770")).empty(); }, 20000));
    // The box may still be filling in: read its text the way its owner would, until it is there.
    char text[256] = "";
    WaitFor(
        [&] {
          DWORD_PTR n = 0;
          SendMessageTimeoutA(GetDlgItem(boxes[0], 0xFFFF), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                              SMTO_ABORTIFHUNG, 1000, &n);
          return n > 0;
        },
        5000);
    EXPECT_STREQ("Can't open the document \"C:\\no\\such\\folder\\box.velf\".", text);
    PostMessageA(boxes[0], WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(stelvar.Ended(15000));
    EXPECT_EQ(0, CountMainWindows());
  }
  TempFile doc("stelvar-test.velf", {0x42});
  StelvarProcess stelvar("\"" + doc.path() + "\"");
  HWND hFrame = stelvar.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  char title[64] = "";
  GetWindowTextA(hFrame, title, sizeof title);
  EXPECT_STREQ(kTitle, title);
}

namespace {

// The work pane of the splitter, once it is the USB view (it has the File button).
HWND UsbView(HWND hFrame, DWORD timeoutMs) {
  HWND hView = nullptr;
  WaitFor(
      [&] {
        hView = GetDlgItem(GetDlgItem(hFrame, 0xE900), 0xE901);
        return hView && GetDlgItem(hView, 1049);
      },
      timeoutMs);
  return hView && GetDlgItem(hView, 1049) ? hView : nullptr;
}

void ClickHotSpot(HWND hFrame, int x, int y) {
  HWND hTop = TopView(hFrame);
  PostMessageA(hTop, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(hTop, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

std::vector<std::string> ListLines(HWND hList) {
  std::vector<std::string> lines;
  const LRESULT count = SendMessageA(hList, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // Read wide: the list keeps its lines wide, and only the wide form crosses processes whole.
    wchar_t wide[512] = L"";
    if (SendMessageW(hList, LB_GETTEXTLEN, i, 0) < 512) SendMessageW(hList, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    lines.push_back(text);
  }
  return lines;
}

std::string Text(HWND hWnd) {
  char text[512] = "";
  DWORD_PTR n = 0;
  SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &n);
  return text;
}

const char kSettingsKey[] = "Software\\Korvantex\\Stelvar V1.0.2\\Setting";

bool ReadLastDir(std::string& value) {
  char data[512] = "";
  DWORD size = sizeof data;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  const bool ok = RegQueryValueExA(key, "Last Dir", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  value = data;
  return ok;
}

}  // namespace

TEST_F(StelvarExe, UsbModeWithNoBoxWaitsSelectsNothingCannotOpenNoFileAndSwitchesBackPromptly) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                           nullptr));
  RegSetValueExA(key, "Last Dir", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\before"), 10);
  RegCloseKey(key);

  StelvarProcess stelvar;
  HWND hFrame = stelvar.MainWindow();
  ASSERT_NE(nullptr, hFrame);
  ClickHotSpot(hFrame, 244, 99);  // "USB"
  HWND hView = UsbView(hFrame, 10000);
  ASSERT_NE(nullptr, hView);
  const DWORD switched = GetTickCount();
  HWND hList = GetDlgItem(hView, 1058);
  ASSERT_TRUE(WaitFor([&] { return ListLines(hList) == std::vector<std::string>{"Waiting"}; }, 8000))
      << SendMessageA(hList, LB_GETCOUNT, 0, 0) << " lines, first: " << (ListLines(hList).empty() ? "" : ListLines(hList)[0]);
  const DWORD waited = GetTickCount() - switched;
  EXPECT_LT(waited, 4000u);

  // File, then Cancel: the line names the empty selection.
  PostMessageA(hView, WM_COMMAND, MAKEWPARAM(1049, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hView, 1049)));
  std::vector<HWND> dialogs;
  ASSERT_TRUE(WaitFor([&] { return !(dialogs = WindowsOf(stelvar.Pid(), "#32770")).empty(); }, 10000));
  PostMessageA(dialogs[0], WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitFor([&] { return ListLines(hList).size() == 2; }, 5000));
  EXPECT_EQ("'' is selected", ListLines(hList)[1]);

  // Download with no file: "Last Dir" is written empty, then the box.
  ASSERT_TRUE(WaitFor([&] { return WindowsOf(stelvar.Pid(), "#32770").empty(); }, 5000));
  PostMessageA(hView, WM_COMMAND, MAKEWPARAM(1037, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hView, 1037)));
  ASSERT_TRUE(WaitFor([&] { return !(dialogs = WindowsOf(stelvar.Pid(), "#32770")).empty(); }, 10000));
  std::string text;
  WaitFor([&] { return !(text = Text(GetDlgItem(dialogs[0], 0xFFFF))).empty(); }, 5000);
  EXPECT_EQ("Can't open  file!!!", text);
  EXPECT_EQ("Stelvar V1.0.2", Text(dialogs[0]));
  std::string lastDir = "unread";
  EXPECT_TRUE(ReadLastDir(lastDir));
  EXPECT_EQ("", lastDir);
  PostMessageA(dialogs[0], WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return WindowsOf(stelvar.Pid(), "#32770").empty(); }, 5000));

  // Back to serial mode: the status thread is stopped within its 5 s.
  const DWORD before = GetTickCount();
  ClickHotSpot(hFrame, 65, 99);  // "Serial"
  ASSERT_TRUE(WaitFor(
      [&] {
        HWND hWork = GetDlgItem(GetDlgItem(hFrame, 0xE900), 0xE901);
        return hWork && !GetDlgItem(hWork, 1049);
      },
      10000));
  EXPECT_LT(GetTickCount() - before, 5000u);
  PostMessageA(hFrame, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(stelvar.Ended(15000));
}
