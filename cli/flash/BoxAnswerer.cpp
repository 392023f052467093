#include "BoxAnswerer.h"

#include <algorithm>

namespace {

// The message box's text control has this identifier on Windows and on Wine.
constexpr int kTextControlId = 0xFFFF;

std::string WindowText(HWND hWnd) {
  char text[1024] = "";
  GetWindowTextA(hWnd, text, sizeof text);
  return text;
}

const char kDialogClass[] = "#32770";

bool IsMessageBox(HWND hWnd) { return GetDlgItem(hWnd, kTextControlId) != nullptr; }

}  // namespace

CBoxAnswerer::CBoxAnswerer(HWND hNotify, UINT wakeMsg) : m_hNotify(hNotify), m_wakeMsg(wakeMsg) {
  m_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

CBoxAnswerer::~CBoxAnswerer() {
  SetEvent(m_hStop);
  if (m_hThread) {
    WaitForSingleObject(m_hThread, INFINITE);
    CloseHandle(m_hThread);
  }
  CloseHandle(m_hStop);
}

std::vector<CBoxAnswerer::Box> CBoxAnswerer::Take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<Box> boxes;
  boxes.swap(m_found);
  return boxes;
}

void CBoxAnswerer::Look() {
  // Only dialog windows are fetched, not every window of the desktop: several velflash
  // processes look 100 times a second each, and each look is a call to the window server.
  for (HWND h = FindWindowExA(nullptr, nullptr, kDialogClass, nullptr); h;
       h = FindWindowExA(nullptr, h, kDialogClass, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(h) && IsMessageBox(h)) Answer(h);
  }
}

void CBoxAnswerer::Answer(HWND box) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_answered.begin(), m_answered.end(), box) != m_answered.end()) return;
    m_answered.push_back(box);
    m_found.push_back({WindowText(GetDlgItem(box, kTextControlId)), WindowText(box)});
  }
  // The library's boxes have one button (OK); press whichever is the default.
  const LRESULT def = SendMessageA(box, DM_GETDEFID, 0, 0);
  const WORD id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  PostMessageA(m_hNotify, m_wakeMsg, 0, 0);
}

DWORD WINAPI CBoxAnswerer::ThreadProc(LPVOID param) {
  auto* self = static_cast<CBoxAnswerer*>(param);
  while (WaitForSingleObject(self->m_hStop, 10) == WAIT_TIMEOUT) {
    self->Look();
    std::lock_guard<std::mutex> lock(self->m_mutex);
    // A closed box's handle may come back for a later box.
    self->m_answered.erase(std::remove_if(self->m_answered.begin(), self->m_answered.end(),
                                          [](HWND h) { return !IsWindow(h); }),
                           self->m_answered.end());
  }
  return 0;
}
