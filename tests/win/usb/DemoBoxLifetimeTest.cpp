// The dry-run program's start-up (app/DemoStart.cpp) in a process of its own: threads that
// nobody waits for still use the simulated box while the process exits, so the box must
// last until the process ends. A check run at the very end of the exit (after every
// static object of the program is gone) fails the process when the box went before.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "SimUsbBox.h"
#include "StbDevice.h"
#include "UsbServices.h"

namespace {

std::atomic<long> g_uses{0};

// As the status or end-of-data thread does: open, ask, close, for as long as the process lives.
DWORD WINAPI UseTheBox(LPVOID param) {
  IUsbTransport& box = *static_cast<IUsbTransport*>(param);
  for (;;) {
    const UsbHandle device = box.OpenStbDevice(nullptr);
    unsigned char version = 0;
    uint32_t got = 0;
    box.ReadRequest(device, STB_REQ_FIRMWARE_VERSION, kFirmwareReplyLength, &version, &got);
    box.Close(device);
    ++g_uses;
  }
}

void AtTheEndOfTheExit() {
  const long uses = g_uses;
  Sleep(20);
  const bool threadsRunning = g_uses != uses;
  if (CSimUsbBox::Instances() == 0) {
    std::fprintf(stderr, "the simulated box was destroyed during the exit while %s\n",
                 threadsRunning ? "threads still used it" : "threads could still use it");
    std::fflush(stderr);
    _exit(3);
  }
}

// Constructed before the program's own static objects, so its exit handler runs after
// theirs are destroyed.
struct LateCheck {
  LateCheck() { std::atexit(AtTheEndOfTheExit); }
} g_lateCheck __attribute__((init_priority(101)));

TEST(DemoStart, TheSimulatedBoxOutlivesTheThreadsThatUseItAtExit) {
  IUsbTransport& box = CUsbServices::Transport();
  ASSERT_NE(nullptr, dynamic_cast<CSimUsbBox*>(&box)) << "the start-up installs the simulated box";
  for (int i = 0; i < 2; ++i) {
    HANDLE h = CreateThread(nullptr, 0, UseTheBox, &box, 0, nullptr);
    ASSERT_NE(nullptr, h);
    CloseHandle(h);
  }
  while (g_uses < 100) Sleep(1);
  // The process now exits with both threads still inside the box.
}

}  // namespace
