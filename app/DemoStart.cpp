// The dry-run program's one addition: the simulated box behind the USB transport, installed
// before start-up. With STELVAR_DEMO_IMAGE and STELVAR_DEMO_PHASES set it also drives one
// download by itself (the run command's unattended run).
#include <cstdlib>

#include "DemoDriver.h"
#include "DemoUsbBox.h"
#include "UsbServices.h"

namespace {

struct DemoStart {
  DemoStart() {
    // Never destroyed: threads that nobody waits for (a status thread that outlived its
    // view, an end-of-data thread) may use the box until the process ends.
    CDemoUsbBox* box = new CDemoUsbBox;
    CUsbServices::Install(box, nullptr);
    const char* image = std::getenv("STELVAR_DEMO_IMAGE");
    const char* phases = std::getenv("STELVAR_DEMO_PHASES");
    if (image && *image && phases && *phases) CDemoDriver::Start(image, phases);
  }
} g_demoStart;

}  // namespace
