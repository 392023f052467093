// PosixMessageLoop.h - the client thread's message queue on POSIX: sent and posted messages, window timers.
//
// Stands in for the window that the library reports to on Windows. The thread that constructs the
// loop owns it and handles every message there, through one handler. Send from another thread
// waits until the owner has handled the message (as SendMessage does); Send from the owner calls
// the handler at once. Sent messages go before posted ones, timers come when nothing else waits.
// WaitFor answers sent messages only, as MsgWaitForMultipleObjects with QS_SENDMESSAGE does.
// Close releases waiting senders with 0; later sends are dropped. Destroy only after every
// thread that sends has ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class CPosixMessageLoop {
 public:
  using Handler = std::function<intptr_t(unsigned int msg, uintptr_t wParam, intptr_t lParam)>;

  CPosixMessageLoop();
  ~CPosixMessageLoop();
  CPosixMessageLoop(const CPosixMessageLoop&) = delete;
  CPosixMessageLoop& operator=(const CPosixMessageLoop&) = delete;

  void SetHandler(Handler handler) { m_handler = std::move(handler); }

  // Any thread.
  intptr_t Send(unsigned int msg, uintptr_t wParam, intptr_t lParam);
  void Post(unsigned int msg, uintptr_t wParam, intptr_t lParam);
  // A periodic timer: msg (timerMsg) with the id as wParam every periodMs, until killed.
  void SetTimer(unsigned int id, unsigned int periodMs);
  void KillTimer(unsigned int id);
  void SetTimerMessage(unsigned int msg) { m_timerMsg = msg; }
  // Makes the owner look again at what it waits for.
  void Wake();

  // Owner thread: handles messages until Quit.
  void Run();
  void Quit();
  // Owner thread: waits until done() is true or timeoutMs have passed, answering sent messages
  // meanwhile; true when done() became true.
  bool WaitFor(const std::function<bool()>& done, int timeoutMs);
  // Whether the owner is handling a message sent by another thread.
  bool InSend() const { return m_sendDepth > 0; }
  bool IsOwnerThread() const { return std::this_thread::get_id() == m_owner; }
  // Owner thread: handles every sent and posted message already queued (timers wait).
  void HandlePending();
  // No more messages: waiting senders get 0.
  void Close();

 private:
  using Clock = std::chrono::steady_clock;
  struct Message {
    unsigned int msg;
    uintptr_t wParam;
    intptr_t lParam;
    bool sent;
    bool done = false;
    intptr_t result = 0;
  };
  struct Timer {
    unsigned int periodMs;
    Clock::time_point due;
  };

  // Handles one sent message, else (when posted is true) one posted message, else (when timers
  // is true) one due timer. False when there was nothing to handle.
  bool HandleOne(bool posted, bool timers);
  // Sleeps on the wake pipe until something may have come, at most timeoutMs
  // (negative: until the next timer is due).
  void Sleep(int timeoutMs);
  int MsToNextTimerLocked() const;

  std::thread::id m_owner;
  Handler m_handler;
  unsigned int m_timerMsg = 0;
  int m_wake[2] = {-1, -1};

  std::mutex m_mutex;
  std::condition_variable m_handled;
  std::deque<Message*> m_sent;
  std::deque<Message> m_posted;
  std::map<unsigned int, Timer> m_timers;
  Clock::time_point m_sleepUntil = Clock::time_point::min();  // while the owner sleeps: when it looks again
  bool m_closed = false;
  bool m_quit = false;
  int m_sendDepth = 0;
};
