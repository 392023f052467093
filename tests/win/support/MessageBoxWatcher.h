// MessageBoxWatcher.h - finds the message boxes this process shows, records them and closes them, so tests never hang.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

struct SeenMessageBox {
  std::string text;
  std::string caption;
  HWND owner;
  std::string icon;  // "error", "warning", "information", "question" or "none"
  double seconds;    // since the watcher started
};

class MessageBoxWatcher {
 public:
  // Each box found is closed with its default button after closeDelayMs.
  explicit MessageBoxWatcher(DWORD closeDelayMs = 0);
  ~MessageBoxWatcher();
  MessageBoxWatcher(const MessageBoxWatcher&) = delete;
  MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

  std::vector<SeenMessageBox> Boxes() const;
  bool WaitForBoxes(size_t count, DWORD timeoutMs) const;
  void Clear();
  void SetCloseDelay(DWORD ms) { m_closeDelayMs = ms; }
  // While held, found boxes are recorded but left open.
  void Hold(bool hold) { m_hold = hold; }

  // Whether hWnd is a message box (a dialog with the message box's text control).
  static bool IsMessageBox(HWND hWnd);

 private:
  struct Pending {
    HWND hWnd;
    DWORD foundTick;
  };
  static DWORD WINAPI ThreadProc(LPVOID param);
  static BOOL CALLBACK EnumProc(HWND hWnd, LPARAM param);
  void Poll();

  HANDLE m_hThread = nullptr;
  HANDLE m_hStop = nullptr;
  volatile DWORD m_closeDelayMs;
  volatile bool m_hold = false;
  DWORD m_startTick;
  mutable std::mutex m_mutex;
  std::vector<SeenMessageBox> m_boxes;
  std::vector<Pending> m_pending;
  std::vector<HWND> m_seen;
};
