#include "TestClientWindow.h"

#include <chrono>
#include <thread>

namespace {
const UINT kRunMessage = WM_APP + 100;
const UINT kRunAsyncMessage = WM_APP + 101;

struct AsyncCall {
  std::function<void()> fn;
  HANDLE done;
};
const char kClassName[] = "StelvarTestClient";
}  // namespace

std::string RecordedMessage::Describe() const {
  switch (kind) {
    case kEvent: {
      std::string s = std::to_string(static_cast<long>(lParam));
      if (posted) s += "*";
      if (wParam) s += ":" + text;
      return s;
    }
    case kInProcess:
      return "busy " + std::to_string(static_cast<unsigned long>(wParam));
    case kTimer:
      return "timer " + std::to_string(static_cast<unsigned long>(wParam));
  }
  return "?";
}

TestClientWindow::TestClientWindow(UINT eventMsg, UINT inProcessMsg)
    : m_eventMsg(eventMsg), m_inProcessMsg(inProcessMsg) {
  QueryPerformanceFrequency(&m_freq);
  QueryPerformanceCounter(&m_start);
  m_hReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, &m_threadId);
  WaitForSingleObject(m_hReady, INFINITE);
}

TestClientWindow::~TestClientWindow() {
  PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
  WaitForSingleObject(m_hThread, 10000);
  CloseHandle(m_hThread);
  CloseHandle(m_hReady);
}

double TestClientWindow::Now() const {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart - m_start.QuadPart) / double(m_freq.QuadPart);
}

DWORD WINAPI TestClientWindow::ThreadProc(LPVOID param) {
  auto* self = static_cast<TestClientWindow*>(param);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);  // fails harmlessly when already registered
  self->m_hWnd = CreateWindowExA(0, kClassName, "Stelvar test client", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                 100, nullptr, nullptr, wc.hInstance, self);
  SetEvent(self->m_hReady);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

LRESULT CALLBACK TestClientWindow::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TestClientWindow*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hWnd, msg, wParam, lParam);
  // Not sent by another thread, and not sent by our own test code or handler on this
  // thread: the message came through the queue.
  const bool posted = !InSendMessage() && self->m_ownCodeDepth == 0;
  if (msg == kRunMessage) {
    ++self->m_ownCodeDepth;
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    --self->m_ownCodeDepth;
    return 0;
  }
  if (msg == kRunAsyncMessage) {
    auto* call = reinterpret_cast<AsyncCall*>(lParam);
    ++self->m_ownCodeDepth;
    call->fn();
    --self->m_ownCodeDepth;
    SetEvent(call->done);
    delete call;
    return 0;
  }
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (msg == self->m_eventMsg || msg == self->m_inProcessMsg || msg == WM_TIMER)
    return self->Handle(msg, wParam, lParam, posted);
  return DefWindowProcA(hWnd, msg, wParam, lParam);
}

LRESULT TestClientWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam, bool posted) {
  RecordedMessage m{};
  m.wParam = wParam;
  m.lParam = lParam;
  m.posted = posted;
  m.fromOtherThread = InSendMessage() != FALSE;
  m.seconds = Now();
  if (msg == m_eventMsg) {
    m.kind = RecordedMessage::kEvent;
    if (wParam) m.text = reinterpret_cast<const char*>(wParam);
  } else if (msg == m_inProcessMsg) {
    m.kind = RecordedMessage::kInProcess;
  } else {
    m.kind = RecordedMessage::kTimer;
  }
  Record(m);
  std::function<void(const RecordedMessage&)> handler;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    handler = m_handler;
  }
  if (handler) {
    ++m_ownCodeDepth;
    handler(m);
    --m_ownCodeDepth;
  }
  return 0;
}

void TestClientWindow::Record(RecordedMessage m) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.push_back(std::move(m));
}

void TestClientWindow::Run(const std::function<void()>& fn) {
  if (GetCurrentThreadId() == m_threadId) {
    fn();
    return;
  }
  SendMessageA(m_hWnd, kRunMessage, 0, reinterpret_cast<LPARAM>(&fn));
}

HANDLE TestClientWindow::RunAsync(std::function<void()> fn) {
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE mine = nullptr;
  DuplicateHandle(GetCurrentProcess(), done, GetCurrentProcess(), &mine, 0, FALSE, DUPLICATE_SAME_ACCESS);
  PostMessageA(m_hWnd, kRunAsyncMessage, 0, reinterpret_cast<LPARAM>(new AsyncCall{std::move(fn), mine}));
  return done;
}

void TestClientWindow::SetHandler(std::function<void(const RecordedMessage&)> handler) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_handler = std::move(handler);
}

std::vector<RecordedMessage> TestClientWindow::Messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_log;
}

std::vector<std::string> TestClientWindow::Described() const {
  std::vector<std::string> out;
  for (const RecordedMessage& m : Messages()) out.push_back(m.Describe());
  return out;
}

void TestClientWindow::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.clear();
}

bool TestClientWindow::WaitFor(const std::function<bool(const std::vector<RecordedMessage>&)>& pred,
                               DWORD timeoutMs) const {
  const DWORD start = GetTickCount();
  for (;;) {
    if (pred(Messages())) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(5);
  }
}

bool TestClientWindow::WaitForDescribed(const std::string& described, DWORD timeoutMs) const {
  return WaitFor(
      [&](const std::vector<RecordedMessage>& log) {
        for (const RecordedMessage& m : log)
          if (m.Describe() == described) return true;
        return false;
      },
      timeoutMs);
}
