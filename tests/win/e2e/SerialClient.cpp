// A client of VelManager.dll for whole downloads against a box on the other end of the line.
//
// It behaves like the serial download view: it arms the library with an image, copies every
// notification, answers the completion with StopTransfer from inside the handler, and can
// cancel the way the view does. Every message and box is printed as one line, then a
// result line; the driving script checks them against what the box saw.
//
//   serial_client --image PATH [--port N] [--baud B] [--timeout S] [--downloads N]
//                 [--cancel-after-progress N] [--wait-silence] [--box-delay MS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
    else {
      std::fprintf(stderr, "serial_client: bad argument %s\n", a.c_str());
      return false;
    }
  }
  return !o.image.empty();
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

  client.Run([&] {
    manager = new CVelManager;
    manager->SetComportInfo(o.port, o.baud);
    manager->SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel);
  });
  client.SetHandler([&](const RecordedMessage& m) {
    if (m.kind == RecordedMessage::kInProcess && m.wParam == 1) cancel = 0;  // as the view does
    if (m.kind == RecordedMessage::kTimer && m.wParam == 10) KillTimer(client.hwnd(), 10);
    if (m.kind != RecordedMessage::kEvent) return;
    if (m.lParam == 5) {
      manager->StopTransfer();  // the view's answer to the completion, inside the handler
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

  const char* result = "timeout";
  const DWORD start = GetTickCount();
  LONG rearmed = 0;
  for (;;) {
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
    if (completions > rearmed) {
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
  client.SetHandler(nullptr);
  client.Run([&] {
    if (manager->IsConnectedComport()) manager->StopTransfer();
    delete manager;
  });

  for (const RecordedMessage& m : client.Messages())
    std::printf("%.3f %s\n", m.seconds, m.Describe().c_str());
  for (const SeenMessageBox& b : boxes.Boxes())
    std::printf("box %s | %s | %s | %s\n", b.text.c_str(), b.caption.c_str(), b.icon.c_str(),
                b.owner == client.hwnd() ? "owned" : "not owned");
  std::printf("armed %d\nRESULT %s\n", armed, result);
  std::fflush(stdout);
  return std::strcmp(result, "timeout") == 0 ? 2 : 0;
}
