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
