#include "DemoUsbBox.h"

#include <chrono>
#include <thread>
#include <vector>

CDemoUsbBox::CDemoUsbBox() {
  std::vector<FlashReply> script;
  for (int percent = 0; percent <= 100; percent += 5) script.push_back({1, static_cast<signed char>(percent)});
  for (int percent = 0; percent <= 100; percent += 5) script.push_back({2, static_cast<signed char>(percent)});
  script.push_back({0, 0});
  SetFlashScript(script);
}

bool CDemoUsbBox::WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) {
  const bool ok = CSimUsbBox::WritePipe(pipe, data, length, written);
  std::this_thread::sleep_for(std::chrono::milliseconds(kWritePauseMs));
  return ok;
}
