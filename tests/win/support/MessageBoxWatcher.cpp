#include "MessageBoxWatcher.h"

#include <algorithm>

namespace {

// The message box's text control has this identifier on Windows and on Wine.
const int kTextControlId = 0xFFFF;

std::string WindowText(HWND hWnd) {
  char buf[1024] = "";
  GetWindowTextA(hWnd, buf, sizeof buf);
  return buf;
}

std::string IconName(HWND box) {
  HICON icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[32] = "";
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
  }
  if (!icon) return "none";
  if (icon == LoadIconA(nullptr, IDI_HAND)) return "error";
  if (icon == LoadIconA(nullptr, IDI_EXCLAMATION)) return "warning";
  if (icon == LoadIconA(nullptr, IDI_ASTERISK)) return "information";
  if (icon == LoadIconA(nullptr, IDI_QUESTION)) return "question";
  return "other";
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(DWORD closeDelayMs)
    : m_closeDelayMs(closeDelayMs), m_startTick(GetTickCount()) {
  m_hStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() {
  m_hold = false;
  m_closeDelayMs = 0;
  SetEvent(m_hStop);
  WaitForSingleObject(m_hThread, 10000);
  CloseHandle(m_hThread);
  CloseHandle(m_hStop);
}

bool MessageBoxWatcher::IsMessageBox(HWND hWnd) {
  char cls[16] = "";
  GetClassNameA(hWnd, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && GetDlgItem(hWnd, kTextControlId) != nullptr;
}

BOOL CALLBACK MessageBoxWatcher::EnumProc(HWND hWnd, LPARAM param) {
  auto* self = reinterpret_cast<MessageBoxWatcher*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hWnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hWnd) || !IsMessageBox(hWnd)) return TRUE;
  std::lock_guard<std::mutex> lock(self->m_mutex);
  if (std::find(self->m_seen.begin(), self->m_seen.end(), hWnd) != self->m_seen.end()) return TRUE;
  self->m_seen.push_back(hWnd);
  SeenMessageBox box;
  box.text = WindowText(GetDlgItem(hWnd, kTextControlId));
  box.caption = WindowText(hWnd);
  box.owner = GetWindow(hWnd, GW_OWNER);
  box.icon = IconName(hWnd);
  box.seconds = (GetTickCount() - self->m_startTick) / 1000.0;
  self->m_boxes.push_back(box);
  self->m_pending.push_back({hWnd, GetTickCount()});
  return TRUE;
}

void MessageBoxWatcher::Poll() {
  EnumWindows(EnumProc, reinterpret_cast<LPARAM>(this));
  std::vector<HWND> toClose;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_pending.begin(); it != m_pending.end();) {
      if (!IsWindow(it->hWnd)) {
        it = m_pending.erase(it);
      } else if (!m_hold && GetTickCount() - it->foundTick >= m_closeDelayMs) {
        toClose.push_back(it->hWnd);
        it = m_pending.erase(it);
      } else {
        ++it;
      }
    }
    // Handles of closed boxes may be reused by later boxes.
    m_seen.erase(std::remove_if(m_seen.begin(), m_seen.end(), [](HWND h) { return !IsWindow(h); }),
                 m_seen.end());
  }
  for (HWND h : toClose) {
    LRESULT def = SendMessageA(h, DM_GETDEFID, 0, 0);
    WORD id = HIWORD(def) == DC_HASDEFID ? LOWORD(def) : IDOK;
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
}

DWORD WINAPI MessageBoxWatcher::ThreadProc(LPVOID param) {
  auto* self = static_cast<MessageBoxWatcher*>(param);
  while (WaitForSingleObject(self->m_hStop, 10) == WAIT_TIMEOUT) self->Poll();
  self->Poll();
  return 0;
}

std::vector<SeenMessageBox> MessageBoxWatcher::Boxes() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_boxes;
}

bool MessageBoxWatcher::WaitForBoxes(size_t count, DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    if (Boxes().size() >= count) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

void MessageBoxWatcher::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_boxes.clear();
}
