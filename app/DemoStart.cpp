// The dry-run program's one addition: the simulated box behind the USB transport, installed
// before start-up. With STELVAR_DEMO_IMAGE and STELVAR_DEMO_PHASES set it also drives one
// download by itself (the run command's unattended run). STELVAR_DEMO_FAULTS names a fault
// file that the box reads at every download header (the fault matrix chooses the box's
// misbehaviour from outside; see CDemoUsbBox). Only this file reads them: Stelvar.exe has
// neither the box nor the variables.
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
    if (const char* faults = std::getenv("STELVAR_DEMO_FAULTS")) {
      if (*faults) box->UseFaultFile(faults);
    }
    CUsbServices::Install(box, nullptr);
    const char* image = std::getenv("STELVAR_DEMO_IMAGE");
    const char* phases = std::getenv("STELVAR_DEMO_PHASES");
    if (image && *image && phases && *phases) CDemoDriver::Start(image, phases);
  }
} g_demoStart;

}  // namespace
