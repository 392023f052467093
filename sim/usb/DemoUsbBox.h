// DemoUsbBox.h - the simulated box paced for a person to watch (a download of a few seconds, erase and write in steps of 5 %), which can also misbehave as a fault file says.
//
// Faults: with a fault file (UseFaultFile), the box reads the file's first word each
// time a download header arrives and behaves so for that download (Faults() lists the
// words); holds of the download before are released then. A box with a fault file erases
// and writes in steps of 25 %, so that many downloads fit in a test run. An unplug lasts
// kUnpluggedMs; the box is back at the first open after that. Thread-safe like the box
// it extends; the fault's own lock is never held while the box waits in a call.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "SimUsbBox.h"

class CDemoUsbBox : public CSimUsbBox {
 public:
  // Pause after every bulk write of the image; with the flash polled every 200 ms the
  // erase and the write take about 4 s each.
  static constexpr unsigned int kWritePauseMs = 40;
  // How long the box stays away after an unplug fault: longer than the status thread's
  // 2 s cycle, so that its next look finds the box absent.
  static constexpr unsigned int kUnpluggedMs = 3000;

  CDemoUsbBox();

  // The words a fault file may hold.
  static const std::vector<std::string>& Faults();
  // Path of the fault file, read at every download header.
  void UseFaultFile(const std::string& path);
  // Behaves as fault says from now on (as a header would arm it); false for an unknown word, which arms none.
  bool ArmFault(const std::string& fault);

  UsbHandle OpenStbDevice(UsbOpenFailure* why) override;
  UsbHandle OpenStbPipe(const char* pipeName, UsbOpenFailure* why) override;
  bool WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                    uint32_t* bytesReturned) override;
  bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data, uint32_t* bytesReturned) override;
  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override;

 private:
  enum class PullAt { kNever, kHeader, kData, kErase, kWrite };
  // Unplugs the box now for kUnpluggedMs.
  void UnplugForAWhile();
  void PlugWhenDue();

  std::mutex m_faultLock;
  std::string m_faultFile;  // under m_faultLock
  PullAt m_pullAt = PullAt::kNever;  // under m_faultLock: when this download unplugs the box
  unsigned int m_writes = 0;        // under m_faultLock: bulk writes since the header
  bool m_away = false;              // under m_faultLock: unplugged by a fault
  std::chrono::steady_clock::time_point m_backAt;  // under m_faultLock
};
