#include "ShellFixture.h"

#include "MainFrame.h"

// The program's application object; the tests run its start-up themselves.
CVelManApp theApp;

void Shell::SetUp() {
  startTick = GetTickCount();
  ASSERT_TRUE(theApp.InitInstance());
  frame = theApp.GetMainFrame();
  ASSERT_NE(nullptr, frame);
  PumpFor(50);
}

void Shell::TearDown() {
  if (theApp.m_pMainWnd) {
    if (frame) frame->SetBusy(FALSE);
    theApp.m_pMainWnd->DestroyWindow();
  }
  PumpUntil([&] { return pump.QuitSeen(); }, 5000);
  theApp.ExitInstance();
}

CRect Shell::RectInParent(HWND hChild) {
  CRect rect;
  GetWindowRect(hChild, &rect);
  MapWindowPoints(nullptr, GetParent(hChild), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

namespace {
ChildLifeRecorder* g_recorder = nullptr;
}

ChildLifeRecorder::ChildLifeRecorder(HWND hParent) : m_hParent(hParent) {
  g_recorder = this;
  m_hHook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
}

ChildLifeRecorder::~ChildLifeRecorder() {
  UnhookWindowsHookEx(m_hHook);
  g_recorder = nullptr;
}

LRESULT CALLBACK ChildLifeRecorder::Hook(int code, WPARAM wParam, LPARAM lParam) {
  ChildLifeRecorder* self = g_recorder;
  if (self && code == HCBT_CREATEWND) {
    auto* cbt = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
    if (cbt->lpcs->hwndParent == self->m_hParent) {
      self->m_events.push_back({true, reinterpret_cast<HWND>(wParam), ""});
      self->m_waitAtCreate = GetCursor() == LoadCursor(nullptr, IDC_WAIT);
    }
  } else if (self && code == HCBT_DESTROYWND) {
    HWND hWnd = reinterpret_cast<HWND>(wParam);
    if (GetParent(hWnd) == self->m_hParent) {
      CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
      self->m_events.push_back({false, hWnd, pWnd ? pWnd->GetRuntimeClass()->m_lpszClassName : "?"});
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<std::string> ChildLifeRecorder::Events() const {
  std::vector<std::string> out;
  for (const Event& e : m_events) {
    std::string cls = e.cls;
    if (e.created) {
      CWnd* pWnd = CWnd::FromHandlePermanent(e.hWnd);
      cls = pWnd ? pWnd->GetRuntimeClass()->m_lpszClassName : "(gone)";
    }
    out.push_back((e.created ? "create " : "destroy ") + cls);
  }
  return out;
}
