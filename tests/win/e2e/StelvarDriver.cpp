// Drives Stelvar.exe from outside the way a person's clicks arrive, and prints what it sees.
//
// It starts the program as its own process, finds the serial download view by its controls,
// posts button commands to the view, fills in and confirms the real file-open dialog, presses
// OK on the library's message boxes, and reads back what anything outside can read: control
// texts and states, list-box lines, the view's time text (its window text), the progress
// bar's and the buttons' pixels, the registry. The usb- steps drive USB mode of the dry-run
// build StelvarDemo.exe (see UsbDriver). Steps run in the order given; each prints lines
// that the driving script checks:
//
//   state: idle|busy      (buttons' visible/enabled flags and faces, Close greyed or not)
//   box TEXT | CAPTION | owner frame|other    busy T|idle T    progress P    time TEXT
//   log LINE    path TEXT    lastfile TEXT    exit CODE    snap FILE    error WHAT
//
//   stelvar_driver STEP...
//     start                 start Stelvar.exe and find its serial view
//     start-at EXE          the same with the program at EXE (an installed or unpacked copy)
//     pick PATH             press the file button and choose PATH in the Open dialog
//     watch [S]             follow a download to its completion box (pressed) and idle; S: timeout
//     watch-quiet [S]       the same without reading the bar and the time text (for measurements)
//     wait-busy [S]         until the view turns busy
//     wait-progress P [S]   until the bar shows at least P percent
//     wait-log TEXT [S]     until a log line starts with TEXT
//     wait-idle [S]         until the view is idle
//     wait-box [S]          until the program shows a message box (left open)
//     state                 print the buttons, Close and the faces
//     reset | cancel        post the button's command to the view; prints how long it took
//     try-close             post the Close system command; prints whether the program is still there
//     close                 post the Close system command and wait for the program to end
//     log | path | lastfile | time | progress    print it
//     snap FILE             write the window's pixels to FILE (24-bit BMP)
//     sleep MS
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char kTitle[] = "Stelvar v1.0.2";
const char kFrameClass[] = "Stelvar.Frame";
const int kSelectFile = 1020, kConfigPort = 1026, kFilePath = 1027, kLog = 1031, kReset = 1033, kCancel = 1035;
// Progress window: bar colour XOR the view's background (the bar is drawn XOR over it).
const char kResetTime[] = "0 min. 0 sec. / 0 min. 0 sec.";
const COLORREF kBarMixed = RGB(206 ^ 100, 219 ^ 100, 234 ^ 10);

DWORD g_start = GetTickCount();
double Now() { return (GetTickCount() - g_start) / 1000.0; }

void Out(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vprintf(fmt, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

bool WaitFor(const std::function<bool()>& done, double seconds, DWORD pollMs = 5) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > seconds * 1000) return false;
    Sleep(pollMs);
  }
  return true;
}

std::string BinDir() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string dir = path;
  return dir.substr(0, dir.find_last_of('\\') + 1);
}

// Text of a window of another process, through WM_GETTEXT (marshalled across processes).
std::string TextOf(HWND hWnd) {
  char text[1024] = "";
  DWORD_PTR n = 0;
  if (!hWnd || !SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                    2000, &n))
    return "";
  return std::string(text, n);
}

std::string ClassOf(HWND hWnd) {
  char cls[64] = "";
  GetClassNameA(hWnd, cls, sizeof cls);
  return cls;
}

class Driver {
 public:
  ~Driver() {
    if (m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(m_pi.hProcess, 99);
      WaitForSingleObject(m_pi.hProcess, 10000);
    }
    if (m_movedCursor) SetCursorPos(m_cursor.x, m_cursor.y);
  }

  bool Start(const std::string& exe) {
    std::string cmd = "\"" + exe + "\"";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_pi))
      return Fail("Stelvar.exe did not start");
    if (!WaitFor(
            [&] {
              m_frame = FindOwn(kFrameClass, kTitle);
              return m_frame && IsWindowVisible(m_frame);
            },
            30, 20))
      return Fail("no main window");
    WaitForInputIdle(m_pi.hProcess, 20000);
    // The pointer away from the window, so no button shows its hover face; put back at the end
    // (where it was before the first start).
    if (!m_movedCursor) m_movedCursor = GetCursorPos(&m_cursor) != FALSE;
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    if (!FindView(10)) return false;
    // Shown and laid out; give the first paint time to reach the screen.
    Sleep(500);
    Out("started %.3f", Now());
    return true;
  }

  // The serial download view: the splitter's pane that holds the file button.
  bool FindView(double seconds) {
    HWND splitter = GetDlgItem(m_frame, 0xE900);
    if (!WaitFor(
            [&] {
              m_view = nullptr;
              for (HWND h = GetWindow(splitter, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
                if (GetDlgItem(h, kSelectFile)) m_view = h;
              return m_view != nullptr;
            },
            seconds, 20))
      return Fail("no serial view");
    return true;
  }

  HWND Item(int id) const { return GetDlgItem(m_view, id); }
  bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  // Busy: the cancel button stands where Reset was.
  bool Busy() const { return Visible(kCancel) && !Visible(kReset); }
  bool Idle() const { return Visible(kReset) && !Visible(kCancel) && Enabled(kSelectFile); }
  bool Alive() const { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT; }
  std::string Time() const { return TextOf(m_view); }

  void Click(int id) { PostMessageA(m_view, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id))); }

  std::vector<std::string> Log(int listId = kLog) const {
    std::vector<std::string> lines;
    HWND list = Item(listId);
    DWORD_PTR count = 0;
    SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
    for (DWORD_PTR i = 0; i < count; ++i) {
      // Read as wide text, which Wine marshals across processes; shown again in the ANSI code page.
      DWORD_PTR len = 0;
      SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &len);
      std::vector<wchar_t> wide(len + 16, L'\0');
      DWORD_PTR got = 0;
      SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()), SMTO_ABORTIFHUNG, 2000, &got);
      char text[2048] = "";
      if (got != static_cast<DWORD_PTR>(LB_ERR))
        WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text, sizeof text, nullptr, nullptr);
      lines.push_back(text);
    }
    return lines;
  }

  // The bar's percentage from its pixels: how far the bar colour reaches along its top and
  // bottom rows (the centred percentage text may cover one of them), then the position
  // whose bar ends there.
  int ProgressPercent() const {
    HWND bar = FindWindowExA(m_view, nullptr, nullptr, "SNProgressWnd");
    if (!bar) return -1;
    RECT r;
    GetClientRect(bar, &r);
    POINT origin = {0, 0};
    ClientToScreen(bar, &origin);
    const int w = r.right, h = r.bottom;
    if (w <= 0 || h < 3) return -1;
    std::vector<COLORREF> pixels = Grab(origin.x, origin.y, w, h);
    int reach = 0;
    for (int y : {1, h - 2})
      for (int x = 1; x < w; ++x)
        if (pixels[static_cast<size_t>(y) * w + x] == kBarMixed && x + 1 > reach) reach = x + 1;
    if (reach == 0) return 0;
    const int right = reach + 1;  // the bar's outline column follows its last inner column
    for (int p = 0; p <= 100; ++p)
      if (static_cast<int>(static_cast<float>(w) * (p / 100.0f)) >= right) return p;
    return 100;
  }

  // Pixels of a screen rectangle, as COLORREFs row by row.
  static std::vector<COLORREF> Grab(int x, int y, int w, int h) {
    std::vector<COLORREF> pixels(static_cast<size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY);
    GdiFlush();
    const unsigned char* p = static_cast<const unsigned char*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = RGB(p[4 * i + 2], p[4 * i + 1], p[4 * i]);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return pixels;
  }

  // Which of the candidate bitmaps the button shows: the one whose opaque pixels match most.
  std::string Face(int id, std::initializer_list<int> candidates) {
    HWND button = Item(id);
    RECT r;
    GetClientRect(button, &r);
    POINT origin = {0, 0};
    ClientToScreen(button, &origin);
    std::vector<COLORREF> shown = Grab(origin.x, origin.y, r.right, r.bottom);
    const COLORREF transparent = GetSysColor(COLOR_BTNFACE) + 0x1E1E1E;
    int best = 0;
    double bestScore = 0;
    for (int bitmap : candidates) {
      int bw = 0, bh = 0;
      std::vector<COLORREF> face = Bitmap(bitmap, bw, bh);
      const int ox = (r.right - bw) / 2, oy = (r.bottom - bh) / 2;
      int opaque = 0, same = 0;
      for (int y = 0; y < bh; ++y)
        for (int x = 0; x < bw; ++x) {
          const COLORREF c = face[static_cast<size_t>(y) * bw + x];
          const int sx = x + ox, sy = y + oy;
          if (c == transparent || sx < 0 || sy < 0 || sx >= r.right || sy >= r.bottom) continue;
          ++opaque;
          same += shown[static_cast<size_t>(sy) * r.right + sx] == c;
        }
      const double score = opaque ? static_cast<double>(same) / opaque : 0;
      if (score > bestScore) bestScore = score, best = bitmap;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%d(%.2f)", best, bestScore);
    return text;
  }

  // A bitmap of the program's resources as COLORREFs.
  std::vector<COLORREF> Bitmap(int id, int& w, int& h) {
    if (!m_resources)
      m_resources = LoadLibraryExA((BinDir() + "Stelvar.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(m_resources, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    w = info.bmWidth;
    h = info.bmHeight;
    std::vector<COLORREF> pixels(static_cast<size_t>(w) * h);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<unsigned char> bits(pixels.size() * 4);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, h, bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = RGB(bits[4 * i + 2], bits[4 * i + 1], bits[4 * i]);
    return pixels;
  }

  void PrintState() {
    auto flags = [&](int id) {
      return std::string(Visible(id) ? "visible" : "hidden") + "," + (Enabled(id) ? "enabled" : "disabled");
    };
    std::string faces = "1026=" + Face(kConfigPort, {221, 224, 235}) + " 1020=" + Face(kSelectFile, {220, 225, 233});
    if (Visible(kReset)) faces += " 1033=" + Face(kReset, {229, 228});
    if (Visible(kCancel)) faces += " 1035=" + Face(kCancel, {210, 227});
    Out("state %s 1026=%s 1020=%s 1033=%s 1035=%s 1031=%s close=%s", Busy() ? "busy" : Idle() ? "idle" : "between",
        flags(kConfigPort).c_str(), flags(kSelectFile).c_str(), flags(kReset).c_str(), flags(kCancel).c_str(),
        flags(kLog).c_str(), CloseState());
    Out("faces %s", faces.c_str());
  }

  // Close in the frame's system menu; the menu lives in the program, so this may not be readable.
  const char* CloseState() {
    HMENU menu = GetSystemMenu(m_frame, FALSE);
    const UINT state = menu ? GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) : static_cast<UINT>(-1);
    if (state == static_cast<UINT>(-1)) return "unknown";
    return state & (MF_GRAYED | MF_DISABLED) ? "greyed" : "enabled";
  }

  bool Pick(const std::string& path, int fileButton = kSelectFile) {
    Click(fileButton);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = FindOwn("#32770", "Open")) != nullptr && IsWindowVisible(dialog); }, 15, 20))
      return Fail("no Open dialog");
    HWND name = nullptr;
    WaitFor(
        [&] {
          HWND combo = GetDlgItem(dialog, 0x47C);  // cmb13, the Explorer dialog's name box
          name = combo && ClassOf(combo) == "ComboBox" ? FindWindowExA(combo, nullptr, "Edit", nullptr) : combo;
          if (!name) name = GetDlgItem(dialog, 0x480);  // edt1
          return name != nullptr;
        },
        5, 20);
    if (!name) return Fail("no file-name box in the Open dialog");
    DWORD_PTR r = 0;
    SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG, 2000, &r);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    if (!WaitFor([&] { return !IsWindow(dialog); }, 10, 20)) return Fail("the Open dialog stayed open");
    Out("picked %.3f %s", Now(), path.c_str());
    return true;
  }

  // Follows a download: busy and idle turns, the bar and time text while busy, the completion
  // box (pressed OK), until the view is idle again after the box.
  // Quiet: no pixel or text reads while busy, so that the watch costs the program nothing.
  bool Watch(double seconds, bool quiet) {
    bool busy = Busy();
    bool boxSeen = false;
    int lastPercent = -1;
    std::string lastTime;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < seconds * 1000) {
      if (!Alive()) return Fail("the program ended");
      const bool nowBusy = Busy();
      if (nowBusy != busy) {
        busy = nowBusy;
        if (busy) {
          Out("busy %.3f", Now());
          if (!quiet) {
            Sleep(100);  // the faces just changed: let them be painted
            PrintState();
          }
        } else {
          Out("idle %.3f", Now());
          Out("progress-last %d", lastPercent);
          Out("time-last %s", lastTime.c_str());
        }
      }
      if (busy && !quiet) {
        // Going idle resets both, so the last values shown are the last non-zero ones.
        const int p = ProgressPercent();
        const std::string t = Time();
        if (p > 0 && p != lastPercent) Out("progress %.3f %d", Now(), lastPercent = p);
        if (t != lastTime && t != kResetTime) Out("time %.3f %s", Now(), (lastTime = t).c_str());
      }
      if (HWND box = BoxOf()) {
        if (!boxSeen) {
          boxSeen = true;
          PrintBox(box);
          PrintState();
          PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
      } else if (boxSeen && !busy && Idle()) {
        // The completion event follows the box: wait for the path to empty.
        WaitFor([&] { return TextOf(Item(kFilePath)).empty(); }, 3, 10);
        Out("done %.3f", Now());
        return true;
      }
      Sleep(busy && !quiet ? 5 : 20);
    }
    return Fail("no completion in time");
  }

  // A message box of the program: a dialog with the box's text control.
  HWND BoxOf() {
    for (HWND h = FindWindowExA(nullptr, nullptr, "#32770", nullptr); h; h = FindWindowExA(nullptr, h, "#32770", nullptr)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (pid == m_pi.dwProcessId && IsWindowVisible(h) && GetDlgItem(h, 0xFFFF)) return h;
    }
    return nullptr;
  }

  void PrintBox(HWND box) {
    std::string text;
    WaitFor([&] { return !(text = TextOf(GetDlgItem(box, 0xFFFF))).empty(); }, 3, 10);
    HWND ok = GetDlgItem(box, IDOK);
    if (!ok) ok = GetDlgItem(box, IDCANCEL);
    const HWND owner = GetWindow(box, GW_OWNER);
    Out("box %.3f %s | %s | %s | %s", Now(), text.c_str(), TextOf(ok).c_str(), TextOf(box).c_str(),
        owner == m_frame ? "owner frame" : "owner other");
  }

  // The main window, and the program's message box with it when one is shown.
  bool Snap(const std::string& file) {
    RECT r;
    GetWindowRect(m_frame, &r);
    if (HWND box = BoxOf()) {
      RECT b;
      GetWindowRect(box, &b);
      UnionRect(&r, &r, &b);
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<COLORREF> pixels = Grab(r.left, r.top, w, h);
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof ih;
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = stride * h;
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::vector<unsigned char> data(ih.biSizeImage);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const COLORREF c = pixels[static_cast<size_t>(h - 1 - y) * w + x];
        unsigned char* p = &data[static_cast<size_t>(y) * stride + 3 * x];
        p[0] = GetBValue(c), p[1] = GetGValue(c), p[2] = GetRValue(c);
      }
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return Fail("cannot write the screenshot");
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&ih, sizeof ih, 1, f);
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    Out("snap %.3f %s", Now(), file.c_str());
    return true;
  }

  std::string LastFile() const {
    char value[MAX_PATH * 4] = "";
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\Korvantex\\Stelvar V1.0.2\\OldManagerDownload", "LastFile",
                     RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
      return "(none)";
    return value;
  }

  // Posts Close; reports whether the program is still running a moment later.
  void TryClose() {
    PostMessageA(m_frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    const bool ended = WaitForSingleObject(m_pi.hProcess, 1500) == WAIT_OBJECT_0;
    Out("close-attempt %s", ended ? "ended" : "running");
  }

  bool Close(double seconds) {
    const double asked = Now();
    PostMessageA(m_frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (WaitForSingleObject(m_pi.hProcess, static_cast<DWORD>(seconds * 1000)) != WAIT_OBJECT_0)
      return Fail("the program did not end");
    DWORD code = 0;
    GetExitCodeProcess(m_pi.hProcess, &code);
    Out("exit %lu %.3f", code, Now() - asked);
    return true;
  }

  bool Fail(const char* what) {
    Out("error %.3f %s", Now(), what);
    return false;
  }

  HWND m_frame = nullptr;
  HWND m_view = nullptr;

 private:
  HWND FindOwn(const char* cls, const char* title) {
    for (HWND h = FindWindowExA(nullptr, nullptr, cls, title); h; h = FindWindowExA(nullptr, h, cls, title)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(h, &pid);
      if (pid == m_pi.dwProcessId) return h;
    }
    return nullptr;
  }

  PROCESS_INFORMATION m_pi{};
  HMODULE m_resources = nullptr;
  POINT m_cursor{};
  bool m_movedCursor = false;
};


// ---- Steps for the fault matrix: many cells in one program run, each judged from outside.
//
//   serve                 from now on read steps from standard input, one line of tab-separated
//                         words at a time; after each line print "served ok|failed T" and go on
//                         (a failed step ends only its line). First prints "clock EPOCH T": the
//                         Unix time at driver time T, so that times can be set beside the box's.
//   mark                  later log steps see only the lines added after this point
//   new-log               print the lines added since the mark
//   wait-new-log TEXT [S] until a line added since the mark starts with TEXT ("found T LINE")
//   wait-usable [S]       until the view is idle and Close is enabled ("usable T": when the view
//                         was seen idle, its caption then showing Close enabled)
//   close-face            "close-face enabled|greyed N": the caption's close button (N dark pixels)
//   tick10                post the silence timer's tick (WM_TIMER 10) to the view, as the window
//                         system does after the library's 120 s without a byte
//   mode serial|usb       press and release the banner's hot spot, as a person's click does
//   find-view [S]         find the serial view again (after a mode switch)
//   alive                 "alive yes|no"
//   kill                  end the program at once (a cell that left it stuck)
//   wait-end [S]          until the program has ended ("ended CODE T")
class CMatrixSteps {
 public:
  explicit CMatrixSteps(Driver& d) : m_d(d) {}

  // Runs `step` if it is one of these; false when it is not.
  bool Run(const std::string& step, const std::vector<std::string>& args, size_t& i, bool& ok) {
    auto next = [&](const char* fallback) -> std::string { return i < args.size() ? args[i++] : fallback; };
    auto seconds = [&](double fallback) {
      if (i < args.size() && !args[i].empty() && std::isdigit(static_cast<unsigned char>(args[i][0])) != 0)
        return std::atof(args[i++].c_str());
      return fallback;
    };
    if (step == "mark") {
      m_mark = m_d.Log().size();
      Out("marked %.3f %zu", Now(), m_mark);
    } else if (step == "new-log") {
      for (const std::string& line : NewLog()) Out("log %s", line.c_str());
      Out("log-end");
    } else if (step == "wait-new-log") {
      const std::string text = next("");
      std::string found;
      ok = WaitFor(
               [&] {
                 for (const std::string& line : NewLog())
                   if (line.compare(0, text.size(), text) == 0) return !(found = line).empty();
                 return false;
               },
               seconds(30), 20) ||
           m_d.Fail(("no new log line " + text).c_str());
      if (ok) Out("found %.3f %s", Now(), found.c_str());
    } else if (step == "wait-usable") {
      // Idle first (cheap to read), then the caption's close button (which needs the full shape).
      int dark = 0;
      double at = 0;
      ok = WaitFor(
               [&] {
                 at = Now();
                 return m_d.Idle() && std::string(CloseFace(dark)) == "enabled";
               },
               seconds(30), 10) ||
           m_d.Fail("not usable");
      if (ok) Out("usable %.3f", at);
    } else if (step == "tick10") {
      PostMessageA(m_d.m_view, WM_TIMER, 10, 0);
      Out("ticked %.3f", Now());
    } else if (step == "mode") {
      const std::string mode = next("serial");
      ok = Banner(mode == "usb" ? 1 : 0);
      if (ok) Out("mode %.3f %s", Now(), mode.c_str());
    } else if (step == "find-view") {
      ok = m_d.FindView(seconds(10));
      if (ok) Out("view %.3f", Now());
    } else if (step == "close-face") {
      int dark = 0;
      const char* face = CloseFace(dark);
      Out("close-face %s %d", face, dark);
    } else if (step == "alive") {
      Out("alive %s", m_d.Alive() ? "yes" : "no");
    } else if (step == "kill") {
      if (HANDLE process = Process(PROCESS_TERMINATE | SYNCHRONIZE)) {
        TerminateProcess(process, 98);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
      }
      Out("killed %.3f", Now());
    } else if (step == "wait-end") {
      ok = WaitFor([&] { return !m_d.Alive(); }, seconds(20), 20) || m_d.Fail("the program did not end");
      if (ok) Out("ended %.3f", Now());
    } else {
      return false;
    }
    return true;
  }

  // Before the first served line: the Unix time that belongs to the driver's clock now.
  static void PrintClock() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    const double epoch = static_cast<double>(t.QuadPart - 116444736000000000ull) / 1e7;
    Out("clock %.3f %.3f", epoch, Now());
  }

 private:
  std::vector<std::string> NewLog() const {
    std::vector<std::string> lines = m_d.Log();
    // A reset empties the list: everything in it is then new.
    if (lines.size() < m_mark) return lines;
    return std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(m_mark), lines.end());
  }

  HANDLE Process(DWORD access) const {
    DWORD pid = 0;
    if (!m_d.m_frame || !GetWindowThreadProcessId(m_d.m_frame, &pid) || !pid) return nullptr;
    return OpenProcess(access, FALSE, pid);
  }

  // Whether the caption's close button is drawn enabled (a black X) or greyed. The system menu
  // lives in the program and cannot be read from outside; the caption shows its Close item's
  // state. A move over the banner gives the window its full shape (caption included) for 1.5 s.
  const char* CloseFace(int& dark) {
    DWORD_PTR r = 0;
    if (HWND banner = BannerWindow())
      SendMessageTimeoutA(banner, WM_MOUSEMOVE, 0, MAKELPARAM(400, 20), SMTO_ABORTIFHUNG, 5000, &r);
    RedrawWindow(m_d.m_frame, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
    Sleep(150);
    RECT w;
    GetWindowRect(m_d.m_frame, &w);
    const int frame = GetSystemMetrics(SM_CXFIXEDFRAME), button = GetSystemMetrics(SM_CXSIZE);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    const int x = w.right - frame - button, y = w.top + GetSystemMetrics(SM_CYFIXEDFRAME);
    std::vector<COLORREF> pixels = Driver::Grab(x, y, button, caption);
    dark = 0;
    for (COLORREF c : pixels) dark += GetRValue(c) < 64 && GetGValue(c) < 64 && GetBValue(c) < 64;
    return dark > 4 ? "enabled" : "greyed";
  }

  HWND BannerWindow() const {
    for (HWND h = GetWindow(m_d.m_frame, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
      RECT r;
      GetClientRect(h, &r);
      if (ClassOf(h) == "Stelvar.View" && r.right == 700 && r.bottom == 124) return h;
    }
    return nullptr;
  }

  // The banner: the frame's 700 x 124 view at its top. Its hot spots: Serial (10, 83, 110 x 32),
  // USB (188, 83, 113 x 32); the click goes to the centre of one.
  bool Banner(int hotSpot) {
    HWND banner = BannerWindow();
    if (!banner) return m_d.Fail("no banner");
    const POINT centre = hotSpot == 0 ? POINT{10 + 55, 83 + 16} : POINT{188 + 56, 83 + 16};
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    DWORD_PTR r = 0;
    const UINT flags = SMTO_ABORTIFHUNG;
    return (SendMessageTimeoutA(banner, WM_MOUSEMOVE, 0, at, flags, 5000, &r) &&
            SendMessageTimeoutA(banner, WM_LBUTTONDOWN, MK_LBUTTON, at, flags, 5000, &r) &&
            SendMessageTimeoutA(banner, WM_LBUTTONUP, 0, at, flags, 5000, &r)) ||
           m_d.Fail("the banner did not answer");
  }

  Driver& m_d;
  size_t m_mark = 0;
};

// Reads the next served line into `args` (tab-separated words); false at the end of the input.
bool NextServedLine(std::vector<std::string>& args, size_t& i, bool& ok) {
  Out("served %s %.3f", ok ? "ok" : "failed", Now());
  ok = true;
  std::string line;
  for (int c; (c = std::getchar()) != EOF && c != '\n';) line += static_cast<char>(c);
  if (line.empty() && std::feof(stdin)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  args.clear();
  for (size_t start = 0; start <= line.size();) {
    const size_t tab = line.find('\t', start);
    const size_t end = tab == std::string::npos ? line.size() : tab;
    if (end > start) args.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  i = 0;
  return true;
}

// USB mode of the dry-run build StelvarDemo.exe, driven the same way: the banner's "USB"
// hot spot, the USB view's File and Download buttons, its message list, the Download
// button's face and Close in the system menu. The simulated box reads the fault for each
// download from the file that STELVAR_DEMO_FAULTS names (inherited by the program); the
// usb-fault step writes it. Steps (times are seconds since the driver started):
//
//   usb-start [S]               start StelvarDemo.exe, switch to USB mode and wait for
//                               "USB is connected" (S: timeout, 30)
//   usb-fault NAME              the box's fault for the next download (a word of CDemoUsbBox)
//   usb-pick PATH               the File button and the Open dialog
//   usb-download                post the Download button's command; prints usb-pressed T
//   usb-end TEXT [S]            until the message list has gained the line TEXT since the
//                               press and the view is idle (Download enabled), answering a
//                               message box on the way with OK (printed as usb-box); prints
//                               usb-end T and each line gained (usb-line)
//   usb-end-box TEXT [S]        the same, and a message box has been answered since the press
//   usb-wait-line TEXT [S]      until the line TEXT is gained since the press (the view may
//                               be busy); prints usb-seen T
//   usb-state                   usb-state idle|busy download=enabled|disabled face=ID(SCORE)
//                               close=enabled|greyed|unknown menu=enabled|disabled
//                               file=enabled|disabled. Close is read from the system menu,
//                               which Wine does not show to other processes ("unknown"); menu
//                               is the left menu's button, which the frame's busy lock greys
//                               in the same step as Close.
class UsbDriver {
 public:
  static constexpr int kDownload = 1037, kFile = 1049, kMessages = 1058;

  explicit UsbDriver(Driver& d) : m_d(d) {}

  bool Step(const std::string& step, const std::function<std::string(const char*)>& next,
            const std::function<double(double)>& seconds) {
    if (step == "usb-start") return Start(seconds(30));
    if (step == "usb-fault") return Fault(next(""));
    if (step == "usb-pick") return m_d.Pick(next(""), kFile);
    if (step == "usb-download") return Press();
    if (step == "usb-end" || step == "usb-end-box") {
      const std::string text = next("");
      return WaitFor(text, seconds(30), true, step == "usb-end-box");
    }
    if (step == "usb-wait-line") {
      const std::string text = next("");
      return WaitFor(text, seconds(30), false, false);
    }
    if (step == "usb-state") return State();
    return m_d.Fail(("unknown step " + step).c_str());
  }

 private:
  bool Start(double timeout) {
    if (!m_d.Start(BinDir() + "StelvarDemo.exe")) return false;
    // The banner: the child of the frame at (0, 0, 700, 124); its "USB" hot spot.
    HWND top = nullptr;
    for (HWND h = GetWindow(m_d.m_frame, GW_CHILD); h && !top; h = GetWindow(h, GW_HWNDNEXT)) {
      RECT r;
      GetWindowRect(h, &r);
      MapWindowPoints(nullptr, m_d.m_frame, reinterpret_cast<POINT*>(&r), 2);
      if (r.left == 0 && r.top == 0 && r.right == 700 && r.bottom == 124) top = h;
    }
    if (!top) return m_d.Fail("no banner");
    const LPARAM at = MAKELPARAM(244, 99);
    PostMessageA(top, WM_MOUSEMOVE, 0, at);
    PostMessageA(top, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(top, WM_LBUTTONUP, 0, at);
    HWND splitter = GetDlgItem(m_d.m_frame, 0xE900);
    if (!::WaitFor(
            [&] {
              HWND pane = GetDlgItem(splitter, 0xE901);
              if (!pane || !GetDlgItem(pane, kDownload)) return false;
              m_d.m_view = pane;  // the work view is now the USB view
              return true;
            },
            10, 20))
      return m_d.Fail("no USB view");
    if (!::WaitFor([&] { return Count("USB is connected") > 0; }, timeout, 50)) return m_d.Fail("no box connected");
    Out("usb-started %.3f", Now());
    return true;
  }

  bool Fault(const std::string& name) {
    const char* file = std::getenv("STELVAR_DEMO_FAULTS");
    if (!file || !*file) return m_d.Fail("STELVAR_DEMO_FAULTS is not set");
    FILE* f = std::fopen(file, "w");
    if (!f) return m_d.Fail("cannot write the fault file");
    std::fprintf(f, "%s\n", name.c_str());
    std::fclose(f);
    return true;
  }

  bool Press() {
    m_seen = m_d.Log(kMessages).size();
    m_boxes = 0;
    PostMessageA(m_d.m_view, WM_COMMAND, MAKEWPARAM(kDownload, BN_CLICKED),
                 reinterpret_cast<LPARAM>(m_d.Item(kDownload)));
    m_pressed = Now();
    Out("usb-pressed %.3f", m_pressed);
    return true;
  }

  bool Idle() const { return IsWindowEnabled(m_d.Item(kDownload)) != FALSE; }
  int Count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : m_d.Log(kMessages)) n += l == line;
    return n;
  }
  std::vector<std::string> Gained() const {
    std::vector<std::string> lines = m_d.Log(kMessages);
    return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(m_seen, lines.size())), lines.end());
  }

  // Until TEXT is among the lines gained since the press (and, with idle, the view is idle;
  // with box, a message box was answered since the press).
  bool WaitFor(const std::string& text, double timeout, bool idle, bool box) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout * 1000) {
      if (!m_d.Alive()) return m_d.Fail("the program ended");
      if (HWND shownBox = m_d.BoxOf()) {
        std::string shown;
        ::WaitFor([&] { return !(shown = TextOf(GetDlgItem(shownBox, 0xFFFF))).empty(); }, 3, 10);
        Out("usb-box %.3f %s", Now(), shown.c_str());
        PostMessageA(shownBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        ::WaitFor([&] { return !IsWindow(shownBox); }, 3, 10);
        ++m_boxes;
        continue;
      }
      const std::vector<std::string> gained = Gained();
      if (std::find(gained.begin(), gained.end(), text) != gained.end() && (!idle || Idle()) &&
          (!box || m_boxes > 0)) {
        Out(idle ? "usb-end %.3f" : "usb-seen %.3f", Now());
        for (const std::string& line : gained) Out("usb-line %s", line.c_str());
        return true;
      }
      Sleep(10);
    }
    for (const std::string& line : Gained()) Out("usb-line %s", line.c_str());
    return m_d.Fail(("no line " + text + (idle ? " and idle view" : "")).c_str());
  }

  bool State() {
    Sleep(100);  // a face that just changed is painted
    Out("usb-state %s download=%s face=%s close=%s menu=%s file=%s", Idle() ? "idle" : "busy",
        Idle() ? "enabled" : "disabled", m_d.Face(kDownload, {253, 254, 282}).c_str(), m_d.CloseState(),
        IsWindowEnabled(MenuButton()) ? "enabled" : "disabled", IsWindowEnabled(m_d.Item(kFile)) ? "enabled" : "disabled");
    return true;
  }

  // The left menu's button: the button in pane (0, 0) of the splitter.
  HWND MenuButton() const {
    HWND pane = GetDlgItem(GetDlgItem(m_d.m_frame, 0xE900), 0xE900);
    for (HWND h = GetWindow(pane, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
      if (ClassOf(h) == "Button") return h;
    return nullptr;
  }

  Driver& m_d;
  size_t m_seen = 0;
  int m_boxes = 0;  // message boxes answered since the press
  double m_pressed = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Driver d;
  UsbDriver usb(d);
  std::vector<std::string> args(argv + 1, argv + argc);
  size_t i = 0;
  auto next = [&](const char* fallback) -> std::string { return i < args.size() ? args[i++] : fallback; };
  // An optional number after a step: only when the next word is one.
  auto seconds = [&](double fallback) {
    if (i < args.size() && !args[i].empty() && (std::isdigit(static_cast<unsigned char>(args[i][0])) != 0))
      return std::atof(args[i++].c_str());
    return fallback;
  };
  bool ok = true;
  bool serving = false;
  CMatrixSteps matrix(d);
  while ((ok && i < args.size()) || (serving && NextServedLine(args, i, ok))) {
    if (i >= args.size()) continue;
    const std::string step = args[i++];
    if (step.compare(0, 4, "usb-") == 0) {
      ok = usb.Step(step, next, seconds);
      continue;
    }
    if (step == "serve") {
      serving = true;
      CMatrixSteps::PrintClock();
    } else if (step == "start") {
      ok = d.Start(BinDir() + "Stelvar.exe");
    } else if (step == "start-at") {
      ok = d.Start(next(""));
    } else if (step == "pick") {
      ok = d.Pick(next(""));
    } else if (step == "watch" || step == "watch-quiet") {
      ok = d.Watch(seconds(60), step == "watch-quiet");
    } else if (step == "wait-busy") {
      ok = WaitFor([&] { return d.Busy(); }, seconds(30)) || d.Fail("never busy");
      if (ok) Out("busy %.3f", Now());
    } else if (step == "wait-idle") {
      ok = WaitFor([&] { return d.Idle(); }, seconds(30)) || d.Fail("never idle");
      if (ok) Out("idle %.3f", Now());
    } else if (step == "wait-progress") {
      const int percent = std::atoi(next("0").c_str());
      ok = WaitFor([&] { return d.ProgressPercent() >= percent; }, seconds(30)) || d.Fail("no progress");
      if (ok) Out("progress %.3f %d", Now(), d.ProgressPercent());
    } else if (step == "wait-log") {
      const std::string text = next("");
      ok = WaitFor(
               [&] {
                 for (const std::string& line : d.Log())
                   if (line.compare(0, text.size(), text) == 0) return true;
                 return false;
               },
               seconds(30), 20) ||
           d.Fail(("no log line " + text).c_str());
    } else if (step == "wait-box") {
      HWND box = nullptr;
      ok = WaitFor([&] { return (box = d.BoxOf()) != nullptr; }, seconds(60), 10) || d.Fail("no message box");
      if (ok) {
        Sleep(200);  // drawn
        d.PrintBox(box);
      }
    } else if (step == "state") {
      d.PrintState();
    } else if (step == "reset" || step == "cancel") {
      const double asked = Now();
      d.Click(step == "reset" ? kReset : kCancel);
      ok = WaitFor([&] { return d.Idle(); }, 5) || d.Fail("not idle after the click");
      if (ok) Out("%s-took %.3f", step.c_str(), Now() - asked);
    } else if (step == "try-close") {
      d.TryClose();
    } else if (step == "close") {
      ok = d.Close(seconds(20));
    } else if (step == "log") {
      for (const std::string& line : d.Log()) Out("log %s", line.c_str());
      Out("log-end");
    } else if (step == "path") {
      Out("path %s", TextOf(d.Item(kFilePath)).c_str());
    } else if (step == "lastfile") {
      Out("lastfile %s", d.LastFile().c_str());
    } else if (step == "time") {
      Out("time %s", d.Time().c_str());
    } else if (step == "progress") {
      Out("progress %d", d.ProgressPercent());
    } else if (step == "snap") {
      ok = d.Snap(next("stelvar.bmp"));
    } else if (step == "sleep") {
      Sleep(static_cast<DWORD>(std::atoi(next("0").c_str())));
    } else if (matrix.Run(step, args, i, ok)) {
    } else {
      ok = d.Fail(("unknown step " + step).c_str());
    }
  }
  Out(ok ? "RESULT ok" : "RESULT failed");
  return ok ? 0 : 1;
}
