#include "PosixMessageLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

namespace {

// The longest sleep without anything due: the loop looks again at least this often.
constexpr int kIdleMs = 1000;

void MakePipe(int fds[2]) {
  if (pipe(fds) != 0) return;
  for (int i = 0; i < 2; ++i) {
    fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    fcntl(fds[i], F_SETFD, FD_CLOEXEC);
  }
}

}  // namespace

CPosixMessageLoop::CPosixMessageLoop() : m_owner(std::this_thread::get_id()) {
  MakePipe(m_wake);
}

CPosixMessageLoop::~CPosixMessageLoop() {
  Close();
  for (int fd : m_wake)
    if (fd >= 0) close(fd);
}

intptr_t CPosixMessageLoop::Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  if (IsOwnerThread()) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_closed) return 0;
    }
    return m_handler ? m_handler(msg, wParam, lParam) : 0;
  }
  Message message{msg, wParam, lParam, true};
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return 0;
  m_sent.push_back(&message);
  lock.unlock();
  Wake();
  lock.lock();
  // Ends when the owner has handled the message or has closed the loop.
  m_handled.wait(lock, [&] { return message.done || m_closed; });
  return message.done ? message.result : 0;
}

void CPosixMessageLoop::Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed) return;
    m_posted.push_back(Message{msg, wParam, lParam, false});
  }
  Wake();
}

void CPosixMessageLoop::SetTimer(unsigned int id, unsigned int periodMs) {
  bool sooner;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(periodMs);
    m_timers[id] = Timer{periodMs, due};
    sooner = due < m_sleepUntil;
  }
  // The processor restarts its 120 s timer after every byte: the owner is woken only when it
  // sleeps and would otherwise sleep past the new time (awake, it looks at the timers before
  // it sleeps).
  if (sooner) Wake();
}

void CPosixMessageLoop::KillTimer(unsigned int id) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_timers.erase(id);
}

void CPosixMessageLoop::Wake() {
  const char byte = 0;
  ssize_t ignored = write(m_wake[1], &byte, 1);
  (void)ignored;
}

void CPosixMessageLoop::Quit() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_quit = true;
  }
  Wake();
}

void CPosixMessageLoop::Close() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_closed = true;
  m_sent.clear();
  m_posted.clear();
  m_timers.clear();
  m_handled.notify_all();
}

int CPosixMessageLoop::MsToNextTimerLocked() const {
  int ms = kIdleMs;
  const auto now = Clock::now();
  for (const auto& t : m_timers) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(t.second.due - now).count() + 1;
    ms = std::min<int>(ms, left > 0 ? static_cast<int>(left) : 0);
  }
  return ms;
}

bool CPosixMessageLoop::HandleOne(bool posted, bool timers) {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_closed) return false;
  if (!m_sent.empty()) {
    Message* message = m_sent.front();
    m_sent.pop_front();
    lock.unlock();
    ++m_sendDepth;
    const intptr_t result = m_handler ? m_handler(message->msg, message->wParam, message->lParam) : 0;
    --m_sendDepth;
    lock.lock();
    message->result = result;
    message->done = true;
    m_handled.notify_all();
    return true;
  }
  if (!posted) return false;
  if (!m_posted.empty()) {
    const Message message = m_posted.front();
    m_posted.pop_front();
    lock.unlock();
    if (m_handler) m_handler(message.msg, message.wParam, message.lParam);
    return true;
  }
  if (!timers) return false;
  const auto now = Clock::now();
  for (auto& t : m_timers) {
    if (t.second.due > now) continue;
    const unsigned int id = t.first;
    t.second.due = now + std::chrono::milliseconds(t.second.periodMs);
    lock.unlock();
    if (m_handler) m_handler(m_timerMsg, id, 0);
    return true;
  }
  return false;
}

void CPosixMessageLoop::Sleep(int timeoutMs) {
  struct pollfd p = {m_wake[0], POLLIN, 0};
  {
    // Timers set from now on wake the owner if they are due before it would look again.
    std::lock_guard<std::mutex> lock(m_mutex);
    if (timeoutMs < 0) timeoutMs = MsToNextTimerLocked();
    m_sleepUntil = Clock::now() + std::chrono::milliseconds(timeoutMs);
  }
  const int ready = poll(&p, 1, timeoutMs);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sleepUntil = Clock::time_point::min();
  }
  if (ready <= 0) return;
  char bytes[64];
  while (read(m_wake[0], bytes, sizeof bytes) > 0) {
  }
}

void CPosixMessageLoop::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_quit || m_closed) {
        m_quit = false;
        return;
      }
    }
    if (!HandleOne(true, true)) Sleep(-1);
  }
}

void CPosixMessageLoop::HandlePending() {
  while (HandleOne(true, false)) {
  }
}

bool CPosixMessageLoop::WaitFor(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    while (HandleOne(false, false)) {
    }
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    Sleep(static_cast<int>(std::min<long long>(left, kIdleMs)));
  }
}
