// The progress window's pixels, read back from a real window.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "ProgressWnd.h"

namespace {

constexpr COLORREF kBackground = RGB(206, 219, 234);
constexpr COLORREF kBar = RGB(100, 100, 10);
constexpr COLORREF kText = RGB(70, 70, 70);
constexpr COLORREF kFilled = RGB(170, 191, 224);
constexpr COLORREF kFilledText = RGB(34, 34, 76);

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// A client area's pixels as COLORREFs, row by row.
struct Pixels {
  int w = 0, h = 0;
  std::vector<COLORREF> p;
  COLORREF at(int x, int y) const { return p[y * w + x]; }
};

Pixels Capture(HDC source, int w, int h) {
  Pixels out;
  out.w = w;
  out.h = h;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC mem = CreateCompatibleDC(source);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, source, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD* px = static_cast<const DWORD*>(bits);
  for (int i = 0; i < w * h; ++i) out.p.push_back(RGB((px[i] >> 16) & 0xFF, (px[i] >> 8) & 0xFF, px[i] & 0xFF));
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(dib);
  return out;
}

// What the window must show by definition: the background, the text drawn over it in
// the text colour with the default font, and every pixel of columns 1 to barRight - 2
// and rows 1 to h - 2 turned into its own colour XOR the bar colour.
Pixels Expected(const char* text, int w, int h, int barRight) {
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(mem, bmp);
  RECT r = {0, 0, w, h};
  HBRUSH bg = CreateSolidBrush(kBackground);
  FillRect(mem, &r, bg);
  DeleteObject(bg);
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, kText);
  DrawTextA(mem, text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  Pixels p = Capture(mem, w, h);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  for (int y = 1; y <= h - 2; ++y)
    for (int x = 1; x <= barRight - 2 && x < w; ++x) p.p[y * w + x] ^= kBar;
  return p;
}

int CountColour(const Pixels& p, COLORREF c) {
  int n = 0;
  for (COLORREF x : p.p) n += x == c;
  return n;
}

DWORD WINAPI SetFullFromThread(LPVOID param) {
  static_cast<CProgressWnd*>(param)->SetPos(100);
  return 0;
}

class ProgressWindow : public ::testing::Test {
 protected:
  // One parent for the suite: showing a top-level window takes Wine a while.
  static void SetUpTestSuite() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ProgressWndTestParent";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&wc);
    parent = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
  }
  static void TearDownTestSuite() { DestroyWindow(parent); }

  void SetUp() override {
    ASSERT_NE(nullptr, parent);
    bar.m_nRange = 100;
    bar.m_crBackground = kBackground;
    bar.m_crBar = kBar;
    bar.m_crText = kText;
    RECT empty = {0, 0, 0, 0};
    ASSERT_TRUE(bar.CreateEx(WS_EX_STATICEDGE, nullptr, "DownloadProgressWnd", WS_CHILD | WS_VISIBLE, empty.left, empty.top, 0, 0, parent, nullptr));
    MoveWindow(bar.m_hWnd, 20, 20, 343, 24, TRUE);
    RECT c;
    GetClientRect(bar.m_hWnd, &c);
    w = c.right;
    h = c.bottom;
    Pump();
  }

  Pixels Show(int pos) {
    bar.SetPos(pos);
    UpdateWindow(bar.m_hWnd);
    Pump();
    HDC dc = GetDC(bar.m_hWnd);
    Pixels p = Capture(dc, w, h);
    ReleaseDC(bar.m_hWnd, dc);
    return p;
  }
  void ExpectShows(const Pixels& p, const char* text, int barRight) {
    Pixels e = Expected(text, w, h, barRight);
    int mismatches = 0, first = -1;
    for (int i = 0; i < w * h; ++i)
      if (p.p[i] != e.p[i]) {
        ++mismatches;
        if (first < 0) first = i;
      }
    EXPECT_EQ(0, mismatches) << "\"" << text << "\" bar " << barRight << ", first at " << first % w << ","
                             << first / w;
  }

  static HWND parent;
  CProgressWnd bar;
  int w = 0, h = 0;
};

HWND ProgressWindow::parent = nullptr;

TEST_F(ProgressWindow, DefaultsBeforeCreation) {
  CProgressWnd fresh;
  EXPECT_EQ(GetSysColor(COLOR_INFOTEXT), fresh.m_crText);
  EXPECT_EQ(GetSysColor(COLOR_INFOBK), fresh.m_crBar);
  EXPECT_EQ(GetSysColor(COLOR_BTNFACE), fresh.m_crBackground);
  EXPECT_EQ(100, fresh.m_nRange);
  EXPECT_EQ(0, fresh.m_nPos);
  EXPECT_EQ(nullptr, fresh.m_hWnd);
  fresh.SetPos(40);  // no window yet: only stored
  EXPECT_EQ(40, fresh.m_nPos);
}

TEST_F(ProgressWindow, PositionZeroInvertsNothing) {
  ASSERT_EQ(341, w);  // 343 less the static edge
  Pixels p = Show(0);
  ExpectShows(p, "  0%", 0);
  EXPECT_GT(CountColour(p, kText), 0);
  EXPECT_EQ(0, CountColour(p, kFilled));
}

TEST_F(ProgressWindow, FullBarInvertsTheInteriorOnly) {
  Pixels p = Show(100);
  ExpectShows(p, "100%", w);
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(kBackground, p.at(x, 0));
    EXPECT_EQ(kBackground, p.at(x, h - 1));
  }
  for (int y = 0; y < h; ++y) {
    EXPECT_EQ(kBackground, p.at(0, y));
    EXPECT_EQ(kBackground, p.at(w - 1, y));
  }
  EXPECT_GT(CountColour(p, kFilled), w * (h - 2) / 2);
  EXPECT_GT(CountColour(p, kFilledText), 0);  // the text inside the bar
  EXPECT_EQ(0, CountColour(p, kText));
}

TEST_F(ProgressWindow, PositionPastTheRangeIsClippedAndShowsTheTruePercentage) {
  Pixels p = Show(150);
  ExpectShows(p, "150%", w + 1);
  EXPECT_EQ(kFilled, p.at(w - 1, 1));  // the outline lies outside the window
  EXPECT_EQ(kBackground, p.at(0, 1));
}

TEST_F(ProgressWindow, BarsOneOrTwoPixelsWideChangeNothing) {
  bar.m_nRange = 1000;
  ExpectShows(Show(3), "  0%", 1);  // 341 * 0.003 = 1.02
  Pixels two = Show(6);             // 2.05
  ExpectShows(two, "  1%", 2);
  EXPECT_EQ(0, CountColour(two, kFilled));
  Pixels three = Show(9);  // edge 3: one column inverted
  EXPECT_EQ(kFilled, three.at(1, 1));
  EXPECT_EQ(kBackground, three.at(2, 1));
}

TEST_F(ProgressWindow, TextRoundsWhileTheBarTruncates) {
  bar.m_nRange = 1000;
  ExpectShows(Show(996), "100%", 339);  // 341 * 0.996 = 339.6
}

TEST_F(ProgressWindow, EraseIsSuppressedAndSetPosWorksFromAnotherThread) {
  Pixels before = Show(30);
  HDC dc = GetDC(bar.m_hWnd);
  EXPECT_NE(0, SendMessageA(bar.m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
  Pixels after = Capture(dc, w, h);
  ReleaseDC(bar.m_hWnd, dc);
  EXPECT_EQ(before.p, after.p);

  HANDLE t = CreateThread(nullptr, 0, SetFullFromThread, &bar, 0, nullptr);
  ASSERT_NE(nullptr, t);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  Pump();
  UpdateWindow(bar.m_hWnd);
  dc = GetDC(bar.m_hWnd);
  Pixels full = Capture(dc, w, h);
  ReleaseDC(bar.m_hWnd, dc);
  EXPECT_EQ(kFilled, full.at(w - 2, 1));
}

TEST_F(ProgressWindow, ZeroSizedWindowPaintsNothingAndSurvives) {
  MoveWindow(bar.m_hWnd, 20, 20, 0, 0, TRUE);
  bar.SetPos(50);
  UpdateWindow(bar.m_hWnd);
  Pump();
  MoveWindow(bar.m_hWnd, 20, 20, 0, 30, TRUE);
  bar.SetPos(70);
  UpdateWindow(bar.m_hWnd);
  Pump();
  EXPECT_TRUE(IsWindow(bar.m_hWnd));
  // Back to a real size, it paints again.
  MoveWindow(bar.m_hWnd, 20, 20, 343, 24, TRUE);
  Pixels p = Show(100);
  EXPECT_EQ(kFilled, p.at(1, 1));
}

TEST_F(ProgressWindow, DestructionDestroysTheWindow) {
  HWND h2;
  {
    CProgressWnd temp;
    RECT r = {0, 0, 50, 10};
    ASSERT_TRUE(temp.CreateEx(0, nullptr, "WriteProgressWnd", WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr));
    h2 = temp.m_hWnd;
    ASSERT_TRUE(IsWindow(h2));
  }
  EXPECT_FALSE(IsWindow(h2));
}

}  // namespace
