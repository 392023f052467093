#include "DemoUsbBox.h"

#include <fstream>
#include <thread>

#include "StbDevice.h"

namespace {

// Erase, then write, each from first to 100 percent in steps of step; then complete.
std::vector<FlashReply> Flash(int first, int step) {
  std::vector<FlashReply> script;
  for (int phase = 1; phase <= 2; ++phase)
    for (int percent = first; percent <= 100; percent += step)
      script.push_back({static_cast<signed char>(phase), static_cast<signed char>(percent)});
  script.push_back({0, 0});
  return script;
}

}  // namespace

CDemoUsbBox::CDemoUsbBox() { SetFlashScript(Flash(0, 5)); }

const std::vector<std::string>& CDemoUsbBox::Faults() {
  static const std::vector<std::string> faults = [] {
    std::vector<std::string> f = {"none",          "stall-4",      "stall-write",  "stall-1139",   "stall-7",
                                  "stall-status",  "unplug-header", "unplug-data", "unplug-erase", "unplug-write"};
    for (int code = 1; code <= 10; ++code) f.push_back("error-" + std::to_string(code));
    return f;
  }();
  return faults;
}

void CDemoUsbBox::UseFaultFile(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(m_faultLock);
    m_faultFile = path;
  }
  ArmFault("none");
}

bool CDemoUsbBox::ArmFault(const std::string& fault) {
  // What the download before was held on goes on now.
  HoldRequest(STB_REQ_DATA_TRANSFER, false);
  HoldRequest(STB_REQ_END_OF_DATA, false);
  HoldRequest(STB_REQ_FLASH_STATUS, false);
  HoldWrites(false);
  HoldStatusReads(false);
  SetFlashScript(Flash(25, 25));
  PullAt pullAt = PullAt::kNever;
  bool known = true;
  if (fault == "stall-4") {
    HoldRequest(STB_REQ_DATA_TRANSFER, true);
  } else if (fault == "stall-write") {
    HoldWrites(true);
  } else if (fault == "stall-1139") {
    HoldRequest(STB_REQ_FLASH_STATUS, true);
  } else if (fault == "stall-7") {
    HoldRequest(STB_REQ_END_OF_DATA, true);
  } else if (fault == "stall-status") {
    HoldStatusReads(true);
  } else if (fault == "unplug-header") {
    pullAt = PullAt::kHeader;
  } else if (fault == "unplug-data") {
    pullAt = PullAt::kData;
  } else if (fault == "unplug-erase") {
    pullAt = PullAt::kErase;
  } else if (fault == "unplug-write") {
    pullAt = PullAt::kWrite;
  } else {
    known = fault == "none";
    for (signed char code = 1; code <= 10 && !known; ++code) {
      // The box erases half of the flash, then reports the error code.
      if (fault == "error-" + std::to_string(code)) {
        SetFlashScript({{1, 50}, {3, code}});
        known = true;
      }
    }
  }
  std::lock_guard<std::mutex> lock(m_faultLock);
  m_pullAt = pullAt;
  m_writes = 0;
  return known;
}

void CDemoUsbBox::UnplugForAWhile() {
  {
    std::lock_guard<std::mutex> lock(m_faultLock);
    m_away = true;
    m_backAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUnpluggedMs);
  }
  Unplug();
}

void CDemoUsbBox::PlugWhenDue() {
  {
    std::lock_guard<std::mutex> lock(m_faultLock);
    if (!m_away || std::chrono::steady_clock::now() < m_backAt) return;
    m_away = false;
  }
  Plug();
}

UsbHandle CDemoUsbBox::OpenStbDevice(UsbOpenFailure* why) {
  PlugWhenDue();
  return CSimUsbBox::OpenStbDevice(why);
}

UsbHandle CDemoUsbBox::OpenStbPipe(const char* pipeName, UsbOpenFailure* why) {
  PlugWhenDue();
  return CSimUsbBox::OpenStbPipe(pipeName, why);
}

bool CDemoUsbBox::WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                               uint32_t* bytesReturned) {
  if (request == STB_REQ_DOWNLOAD_HEADER) {
    std::string file;
    {
      std::lock_guard<std::mutex> lock(m_faultLock);
      file = m_faultFile;
    }
    if (!file.empty()) {
      std::ifstream in(file);
      std::string fault = "none";
      in >> fault;
      ArmFault(fault);
      std::unique_lock<std::mutex> lock(m_faultLock);
      if (m_pullAt == PullAt::kHeader) {
        lock.unlock();
        UnplugForAWhile();
      }
    }
  }
  return CSimUsbBox::WriteRequest(device, request, length, data, bytesReturned);
}

bool CDemoUsbBox::ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data,
                              uint32_t* bytesReturned) {
  const bool ok = CSimUsbBox::ReadRequest(device, request, length, data, bytesReturned);
  if (ok && request == STB_REQ_FLASH_STATUS && length == kFlashReplyLength) {
    const signed char phase = static_cast<const signed char*>(data)[0];
    bool unplug = false;
    {
      std::lock_guard<std::mutex> lock(m_faultLock);
      unplug = (m_pullAt == PullAt::kErase && phase == 1) || (m_pullAt == PullAt::kWrite && phase == 2);
      if (unplug) m_pullAt = PullAt::kNever;
    }
    // Pulled right after this reply: the next one fails.
    if (unplug) UnplugForAWhile();
  }
  return ok;
}

bool CDemoUsbBox::WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) {
  bool unplug = false;
  {
    std::lock_guard<std::mutex> lock(m_faultLock);
    unplug = m_pullAt == PullAt::kData && ++m_writes == 2;  // pulled during the second chunk
    if (unplug) m_pullAt = PullAt::kNever;
  }
  if (unplug) UnplugForAWhile();
  const bool ok = CSimUsbBox::WritePipe(pipe, data, length, written);
  std::this_thread::sleep_for(std::chrono::milliseconds(kWritePauseMs));
  return ok;
}
