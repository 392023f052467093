// ShellFixture.h - runs the program's real start-up in the test process and gives tests its main frame.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainFrame.h"
#include "MessagePump.h"
#include "VelManApp.h"

extern CVelManApp theApp;

class Shell : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Pumps through the application, as its own message loop would.
  bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) { return pump.RunUntil(done, timeoutMs); }
  void PumpFor(DWORD ms) { pump.RunFor(ms); }

  CWnd* Pane(int col) const { return frame->m_wndSplitter.GetPane(0, col); }
  static std::string ClassOf(CWnd* pWnd) { return pWnd ? pWnd->GetRuntimeClass()->m_lpszClassName : "(none)"; }
  // The child's rectangle in its parent's client coordinates.
  static CRect RectInParent(HWND hChild);

  CMainFrame* frame = nullptr;
  DWORD startTick = 0;  // just before the program's start-up began
  MessagePump pump{&theApp};
};

// Records, with a CBT hook on this thread, the creation and destruction of the children
// of one window: "create <class>" / "destroy <class>" in order (classes of the views'
// objects; a created window's class is looked up once the test asks).
class ChildLifeRecorder {
 public:
  explicit ChildLifeRecorder(HWND hParent);
  ~ChildLifeRecorder();
  std::vector<std::string> Events() const;
  // The wait cursor was up when the last child was created.
  bool WaitCursorAtCreate() const { return m_waitAtCreate; }

 private:
  static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
  struct Event {
    bool created;
    HWND hWnd;
    std::string cls;
  };
  HWND m_hParent;
  HHOOK m_hHook;
  std::vector<Event> m_events;
  bool m_waitAtCreate = false;
};
