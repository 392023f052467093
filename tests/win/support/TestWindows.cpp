#include "TestWindows.h"

namespace {
struct Search {
  std::string caption;
  HWND found = nullptr;
};

BOOL CALLBACK FindProc(HWND hWnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  if (pid == GetCurrentProcessId() && IsWindowVisible(hWnd) && WindowText(hWnd) == s->caption) {
    s->found = hWnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ChildProc(HWND hWnd, LPARAM param) {
  reinterpret_cast<std::vector<std::string>*>(param)->push_back(WindowText(hWnd));
  return TRUE;
}
}  // namespace

std::string WindowText(HWND hWnd) {
  char buf[1024] = "";
  GetWindowTextA(hWnd, buf, sizeof buf);
  return buf;
}

HWND WaitForWindow(const std::string& caption, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    Search s{caption};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(10);
  }
}

bool WaitForWindowGone(HWND hWnd, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (IsWindow(hWnd)) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(10);
  }
  return true;
}

std::vector<std::string> ChildTexts(HWND hWnd) {
  std::vector<std::string> texts;
  EnumChildWindows(hWnd, ChildProc, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  const int n = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    char buf[256] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
    items.push_back(buf);
  }
  return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

void ChooseComboItem(HWND dialog, int controlId, int index) {
  HWND combo = GetDlgItem(dialog, controlId);
  SendMessageA(combo, CB_SETCURSEL, index, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void PressButton(HWND dialog, int controlId) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, controlId)));
}
