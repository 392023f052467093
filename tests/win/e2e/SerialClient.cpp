// A client of VelManager.dll for whole downloads against a box on the other end of the line.
//
// It behaves like the serial download view: it arms the library with an image, copies every
// notification, answers the completion with StopTransfer from inside the handler, and can
// cancel the way the view does. Every message and box is printed as one line, then a
// result line; the driving script checks them against what the box saw.
//
//   serial_client --image PATH [--port N] [--baud B] [--timeout S] [--downloads N]
//                 [--cancel-after-progress N] [--wait-silence] [--box-delay MS]
//                 [--rearm-in-handler] [--rearm-after-lost MS] [--stop-on-lost]
//                 [--watch-cancel-event]
//
//   --rearm-in-handler    arm the next download inside the completion handler (after its StopTransfer)
//   --rearm-after-lost MS once a lost port has been reported and the library is idle, arm
//                         again every MS ms until the port opens
//   --stop-on-lost        StopTransfer inside the handler of the lost-port words
//   --watch-cancel-event  note it if the manager's cancel event is ever seen signalled
//                         without this client having asked for a cancel
//
// Besides the messages ("seconds text"), it prints "clock T" (the Unix time of second 0) and
// "note seconds text" lines for what it observed itself; notes are printed as they happen, so
// that a driving script can follow them.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "MessageBoxWatcher.h"
#include "TestClientWindow.h"
#include "VelManager.h"

namespace {

struct Options {
  std::string image;
  unsigned short port = 1;
  unsigned long baud = 115200;
  double timeout = 120;
  int downloads = 1;
  int cancelAfterProgress = 0;
  bool waitSilence = false;
  DWORD boxDelay = 100;
  bool rearmInHandler = false;
  DWORD rearmAfterLostMs = 0;
  bool stopOnLost = false;
  bool watchCancelEvent = false;
};

bool Parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--image" && (v = next())) o.image = v;
    else if (a == "--port" && (v = next())) o.port = static_cast<unsigned short>(std::atoi(v));
    else if (a == "--baud" && (v = next())) o.baud = std::strtoul(v, nullptr, 10);
    else if (a == "--timeout" && (v = next())) o.timeout = std::atof(v);
    else if (a == "--downloads" && (v = next())) o.downloads = std::atoi(v);
    else if (a == "--cancel-after-progress" && (v = next())) o.cancelAfterProgress = std::atoi(v);
    else if (a == "--box-delay" && (v = next())) o.boxDelay = static_cast<DWORD>(std::atoi(v));
    else if (a == "--wait-silence") o.waitSilence = true;
    else if (a == "--rearm-in-handler") o.rearmInHandler = true;
    else if (a == "--rearm-after-lost" && (v = next())) o.rearmAfterLostMs = static_cast<DWORD>(std::atoi(v));
    else if (a == "--stop-on-lost") o.stopOnLost = true;
    else if (a == "--watch-cancel-event") o.watchCancelEvent = true;
    else {
      std::fprintf(stderr, "serial_client: bad argument %s\n", a.c_str());
      return false;
    }
  }
  return !o.image.empty();
}

// What the client observed itself, with the time, printed at once.
class Notes {
 public:
  explicit Notes(const TestClientWindow& client) : m_client(client) {}
  void Add(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::printf("note %.3f %s\n", m_client.Now(), text);
    std::fflush(stdout);
  }

 private:
  const TestClientWindow& m_client;
  std::mutex m_mutex;
};

struct CancelWatch {
  HANDLE handles[2];  // the manager's cancel event, then the event that ends the watch
  volatile LONG* cancelRequested;
  Notes* notes;
};

// Notes a cancel event signalled while this client asked for no cancel. Ends when main sets
// the stop event, before the manager (and its event handle) goes.
DWORD WINAPI WatchCancelEvent(LPVOID param) {
  auto* w = static_cast<CancelWatch*>(param);
  if (WaitForMultipleObjects(2, w->handles, FALSE, INFINITE) == WAIT_OBJECT_0 && !*w->cancelRequested)
    w->notes->Add("cancel event signalled");
  return 0;
}

// Unix time, in seconds, of the client window's second 0.
double ClockOrigin(const TestClientWindow& client) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const double now = client.Now();
  const unsigned long long ticks = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return (static_cast<double>(ticks) - 116444736000000000.0) / 1e7 - now;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, o)) return 64;

  TestClientWindow client;
  MessageBoxWatcher boxes(o.boxDelay);
  volatile int cancel = 0;
  CVelManager* manager = nullptr;
  volatile LONG completions = 0;
  volatile LONG progress = 0;
  volatile LONG cancelRequested = 0;
  volatile LONG lostSeen = 0;   // the lost-port words arrived
  volatile LONG lostIdle = 0;   // ... and the idle notification after them
  Notes notes(client);
  const double clock = ClockOrigin(client);

  client.Run([&] {
    manager = new CVelManager;
    manager->SetComportInfo(o.port, o.baud);
    manager->SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel);
  });
  client.SetHandler([&](const RecordedMessage& m) {
    if (m.kind == RecordedMessage::kInProcess && m.wParam == 1) cancel = 0;  // as the view does
    if (m.kind == RecordedMessage::kInProcess && m.wParam == 0 && lostSeen && !lostIdle) {
      InterlockedExchange(&lostIdle, 1);
      notes.Add("idle after lost: connected %d", manager->IsConnectedComport());
    }
    if (m.kind == RecordedMessage::kTimer && m.wParam == 10) KillTimer(client.hwnd(), 10);
    if (m.kind != RecordedMessage::kEvent) return;
    if (m.lParam == 1 && m.text.rfind("Lost COM", 0) == 0) {
      InterlockedExchange(&lostSeen, 1);
      if (o.stopOnLost) notes.Add("stop in handler: %d", manager->StopTransfer());
    }
    if (m.lParam == 5) {
      manager->StopTransfer();  // the view's answer to the completion, inside the handler
      if (o.rearmInHandler) {
        const int armedAgain = manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, o.image.c_str());
        notes.Add("rearmed in handler: %d", armedAgain);
      }
      InterlockedIncrement(&completions);
    }
    if (m.lParam == 3 && o.cancelAfterProgress && InterlockedIncrement(&progress) == o.cancelAfterProgress) {
      cancel = 1;
      InterlockedExchange(&cancelRequested, 1);
    }
  });

  int armed = 0;
  client.Run([&] {
    ResetEvent(manager->m_hCancelEvent);
    armed = manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, o.image.c_str());
  });
  notes.Add("armed %d connected %d", armed, manager->IsConnectedComport());

  // A thread waiting on the cancel event wakes even for a signal that is reset at once.
  HANDLE stopWatch = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CancelWatch watch{{manager->m_hCancelEvent, stopWatch}, &cancelRequested, &notes};
  HANDLE watcher = o.watchCancelEvent ? CreateThread(nullptr, 0, WatchCancelEvent, &watch, 0, nullptr) : nullptr;

  const char* result = "timeout";
  const DWORD start = GetTickCount();
  LONG rearmed = 0;
  DWORD lastLostRearm = 0;
  bool connectedAgain = false;
  for (;;) {
    if (o.rearmAfterLostMs && lostIdle && !connectedAgain && GetTickCount() - lastLostRearm >= o.rearmAfterLostMs) {
      // As a person would: pick the file again until the port is back.
      lastLostRearm = GetTickCount();
      int connected = 0;
      client.Run([&] {
        manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, o.image.c_str());
        connected = manager->IsConnectedComport();
      });
      notes.Add("rearm after lost: connected %d", connected);
      connectedAgain = connected != 0;
    }
    if (cancelRequested) {
      // The view waits a second for the library to confirm, else stops the transfer itself.
      const DWORD w = WaitForSingleObject(manager->m_hCancelEvent, 1000);
      client.Run([&] {
        if (w == WAIT_OBJECT_0)
          ResetEvent(manager->m_hCancelEvent);
        else
          manager->StopTransfer();
        cancel = 0;
      });
      result = w == WAIT_OBJECT_0 ? "cancelled" : "cancel-timeout";
      break;
    }
    if (completions >= o.downloads) {
      result = "complete";
      break;
    }
    if (completions > rearmed && o.rearmInHandler) {
      rearmed = completions;
    } else if (completions > rearmed) {
      // Arm again for the next download, as the view does when the user picks the file again.
      rearmed = completions;
      client.Run([&] { manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, o.image.c_str()); });
    }
    if (o.waitSilence && client.WaitForDescribed("timer 10", 0)) {
      result = "silence";
      break;
    }
    if ((GetTickCount() - start) / 1000.0 > o.timeout) break;
    Sleep(20);
  }
  Sleep(300);  // let the last notifications arrive
  SetEvent(stopWatch);
  if (watcher) {
    WaitForSingleObject(watcher, 5000);
    CloseHandle(watcher);
  }
  CloseHandle(stopWatch);
  client.SetHandler(nullptr);
  client.Run([&] {
    if (manager->IsConnectedComport()) manager->StopTransfer();
    delete manager;
  });

  std::printf("clock %.3f\n", clock);
  for (const RecordedMessage& m : client.Messages())
    std::printf("%.3f %s\n", m.seconds, m.Describe().c_str());
  for (const SeenMessageBox& b : boxes.Boxes())
    std::printf("box %s | %s | %s | %s\n", b.text.c_str(), b.caption.c_str(), b.icon.c_str(),
                b.owner == client.hwnd() ? "owned" : "not owned");
  std::printf("armed %d\nRESULT %s\n", armed, result);
  std::fflush(stdout);
  return std::strcmp(result, "timeout") == 0 ? 2 : 0;
}
