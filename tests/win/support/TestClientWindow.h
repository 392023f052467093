// TestClientWindow.h - a client window on a user-interface thread of its own that records what the library sends it.
//
// Records every event message, in-process message and WM_TIMER, in order and with the
// time, copying texts as a real client must (they are valid only during the call).
// Tests run client code on the window's thread with Run(), and may act inside a
// notification handler with SetHandler().
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct RecordedMessage {
  enum Kind { kEvent, kInProcess, kTimer };
  Kind kind;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;     // copy of the event text (events with a text pointer)
  bool posted;          // arrived through the queue (a posted message that a modal loop inside
                        // test code dispatches counts as sent)
  bool fromOtherThread; // sent by another thread (the reader)
  double seconds;       // since the window was created

  // Compact form for comparing sequences: "0:text", "1:text", "3:12l", "5", "busy 1", "timer 10";
  // posted events carry a '*' after the kind ("0*:Canceled...").
  std::string Describe() const;
};

class TestClientWindow {
 public:
  explicit TestClientWindow(UINT eventMsg = WM_USER + 1, UINT inProcessMsg = WM_USER + 2);
  ~TestClientWindow();
  TestClientWindow(const TestClientWindow&) = delete;
  TestClientWindow& operator=(const TestClientWindow&) = delete;

  HWND hwnd() const { return m_hWnd; }
  DWORD threadId() const { return m_threadId; }
  UINT eventMsg() const { return m_eventMsg; }
  UINT inProcessMsg() const { return m_inProcessMsg; }

  // Runs fn on the window's thread and returns when it has finished.
  void Run(const std::function<void()>& fn);
  // Starts fn on the window's thread and returns at once; the event is set when fn has
  // finished (the caller closes it). For calls that run a modal loop, such as a dialog.
  HANDLE RunAsync(std::function<void()> fn);
  // Called on the window's thread after each message has been recorded.
  void SetHandler(std::function<void(const RecordedMessage&)> handler);

  std::vector<RecordedMessage> Messages() const;
  std::vector<std::string> Described() const;
  void Clear();
  // Waits until pred holds for the recorded messages; false on timeout.
  bool WaitFor(const std::function<bool(const std::vector<RecordedMessage>&)>& pred, DWORD timeoutMs) const;
  // Waits until a message with this Describe() form has been recorded.
  bool WaitForDescribed(const std::string& described, DWORD timeoutMs) const;
  double Now() const;

 private:
  static DWORD WINAPI ThreadProc(LPVOID param);
  static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool posted);
  void Record(RecordedMessage m);

  UINT m_eventMsg;
  UINT m_inProcessMsg;
  HWND m_hWnd = nullptr;
  HANDLE m_hThread = nullptr;
  DWORD m_threadId = 0;
  HANDLE m_hReady = nullptr;
  LARGE_INTEGER m_start{};
  LARGE_INTEGER m_freq{};
  int m_ownCodeDepth = 0;  // Run/RunAsync closures and handlers running on the window's thread
  mutable std::mutex m_mutex;
  std::vector<RecordedMessage> m_log;
  std::function<void(const RecordedMessage&)> m_handler;
};
