#include "DemoDriver.h"

#include <functional>
#include <utility>


namespace {

const char kFrameClass[] = "Stelvar.Frame";
const char kTitle[] = "Stelvar v1.0.2";
const int kSplitterId = 0xE900;
const int kWorkPaneId = 0xE901;
const POINT kUsbHotSpot = {244, 99};  // the banner's "USB" hot spot
const int kFileButton = 1049;
const int kDownloadButton = 1037;
const int kPathEdit = 1047;
const int kMessageList = 1058;
const int kDialogFileEdit = 0x47C;
const int kDialogFileCombo = 0x480;

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

struct DialogSearch {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND hWnd, LPARAM lParam) {
  auto* search = reinterpret_cast<DialogSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  char cls[16] = "";
  GetClassNameA(hWnd, cls, sizeof cls);
  if (pid == search->pid && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hWnd)) {
    search->found = hWnd;
    return FALSE;
  }
  return TRUE;
}

void Click(HWND hButton) {
  PostMessageA(GetParent(hButton), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hButton), BN_CLICKED),
               reinterpret_cast<LPARAM>(hButton));
}

bool HasLine(HWND hList, const char* line) {
  return SendMessageA(hList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(line)) != LB_ERR;
}

}  // namespace

void CDemoDriver::Start(const std::string& imagePath, const std::string& phaseFile) {
  auto* driver = new CDemoDriver(imagePath, phaseFile);
  HANDLE hThread = CreateThread(nullptr, 0, ThreadProc, driver, 0, nullptr);
  if (hThread)
    CloseHandle(hThread);
  else
    delete driver;
}

DWORD WINAPI CDemoDriver::ThreadProc(LPVOID param) {
  auto* driver = static_cast<CDemoDriver*>(param);
  driver->Run();
  delete driver;
  return 0;
}

void CDemoDriver::Phase(const char* name) {
  HANDLE h = CreateFileA(m_phaseFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(h, name, lstrlenA(name), &written, nullptr);
  WriteFile(h, "\n", 1, &written, nullptr);
  CloseHandle(h);
}

void CDemoDriver::Run() {
  HWND hFrame = nullptr;
  if (!WaitFor([&] { return (hFrame = FindWindowA(kFrameClass, kTitle)) && IsWindowVisible(hFrame); }, 20000)) {
    Phase("failed: no main window");
    return;
  }
  Sleep(4000);  // the start and the rounded outline first, as a person would see them
  HWND hTop = nullptr;
  for (HWND h = GetWindow(hFrame, GW_CHILD); h && !hTop; h = GetWindow(h, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, hFrame, reinterpret_cast<POINT*>(&r), 2);
    if (r.left == 0 && r.top == 0 && r.right == 700 && r.bottom == 124) hTop = h;
  }
  const LPARAM at = MAKELPARAM(kUsbHotSpot.x, kUsbHotSpot.y);
  PostMessageA(hTop, WM_MOUSEMOVE, 0, at);
  PostMessageA(hTop, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(hTop, WM_LBUTTONUP, 0, at);

  HWND hView = nullptr;
  if (!WaitFor(
          [&] {
            hView = GetDlgItem(GetDlgItem(hFrame, kSplitterId), kWorkPaneId);
            return hView && GetDlgItem(hView, kFileButton);
          },
          10000)) {
    Phase("failed: no USB view");
    return;
  }
  Sleep(3000);  // "USB is connected" shows
  Phase("idle");
  Sleep(1500);

  Click(GetDlgItem(hView, kFileButton));
  DialogSearch search{GetCurrentProcessId(), nullptr};
  if (!WaitFor(
          [&] {
            search.found = nullptr;
            EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
          },
          10000)) {
    Phase("failed: no file dialog");
    return;
  }
  Sleep(500);
  HWND hName = GetDlgItem(search.found, kDialogFileEdit);
  if (!hName) hName = GetDlgItem(search.found, kDialogFileCombo);
  SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_imagePath.c_str()));
  PostMessageA(search.found, WM_COMMAND, IDOK, 0);
  char path[MAX_PATH] = "";
  WaitFor([&] { return GetDlgItemTextA(hView, kPathEdit, path, sizeof path) > 0; }, 5000);
  Sleep(1000);

  Click(GetDlgItem(hView, kDownloadButton));
  // Each phase is reported halfway through, when its bar stands near the middle.
  HWND hList = GetDlgItem(hView, kMessageList);
  const char* const phases[] = {"download", "erase", "write"};
  const char* const lines[] = {"Download Start", "Erase Flash", "Writing in Flash"};
  const DWORD halfway[] = {1500, 2000, 2000};
  for (int i = 0; i < 3; ++i) {
    if (!WaitFor([&] { return HasLine(hList, lines[i]); }, 60000)) {
      Phase("failed: no progress");
      return;
    }
    Sleep(halfway[i]);
    Phase(phases[i]);
  }
  WaitFor([&] { return IsWindowEnabled(GetDlgItem(hView, kDownloadButton)) != FALSE; }, 60000);
  Sleep(500);
  Phase("done");
}
