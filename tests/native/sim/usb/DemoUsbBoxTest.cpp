// The dry-run program's box with a fault file: each word makes one download misbehave as
// the fault matrix expects, and the next header puts the box right again.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "DemoUsbBox.h"
#include "StbDevice.h"

namespace {

using Strings = std::vector<std::string>;

class FaultFile {
 public:
  FaultFile() : m_path(testing::TempDir() + "demo-box-fault.txt") {}
  ~FaultFile() { std::remove(m_path.c_str()); }
  void Write(const std::string& fault) { std::ofstream(m_path) << fault << "\n"; }
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

// One download as the PC's threads make it, call by call, written down as the box answers:
// "held" for a call the box does not complete (it is then aborted, as the PC's bound does).
Strings Download(CDemoUsbBox& box) {
  Strings seen;
  std::atomic<bool> held{false};
  box.SetHeldRequestHook([&](uint32_t) { held = true; });
  // Runs call; a call still in progress once the box holds it is aborted on handle.
  auto run = [&](const char* name, UsbHandle handle, const std::function<bool()>& call) {
    held = false;
    std::future<bool> done = std::async(std::launch::async, call);
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready && !held) {
    }
    if (held) {
      box.AbortTransfer(handle);
      seen.push_back(std::string(name) + " held");
    }
    const bool ok = done.get();
    if (!held) seen.push_back(std::string(name) + (ok ? "" : " failed"));
    return ok;
  };
  uint32_t r = 0;
  const UsbHandle device = box.OpenStbDevice(nullptr);
  const UsbHandle data = box.OpenStbPipe(kDataPipeName, nullptr);
  std::vector<unsigned char> header(kDownloadHeaderLength, 0);
  header[258] = 0x20;  // 8192 bytes
  if (!run("header", device, [&] { return box.WriteRequest(device, 3, kDownloadHeaderLength, header.data(), &r); })) {
    for (UsbHandle h : {device, data}) box.Close(h);
    return seen;
  }
  std::vector<unsigned char> chunk(4096, 0x11);
  bool streamed = true;
  for (int i = 0; i < 2 && streamed; ++i) {
    unsigned char announce[6] = {0, 0, 0, 0x00, 0x10, 0};
    streamed = run("announce", device, [&] { return box.WriteRequest(device, 4, 6, announce, &r); }) &&
               run("bulk", data, [&] { return box.WritePipe(data, chunk.data(), 4096, &r); });
  }
  if (streamed) {
    run("end of data", device, [&] { return box.WriteRequest(device, 7, 0, nullptr, &r); });
    for (int poll = 0; poll < 20; ++poll) {
      unsigned char reply[2] = {};
      if (!run("flash", device, [&] { return box.ReadRequest(device, 1139, 2, reply, &r); })) break;
      seen.back() += " " + std::to_string(static_cast<signed char>(reply[0])) + "," +
                     std::to_string(static_cast<signed char>(reply[1]));
      if (reply[0] == 0 || reply[0] == 3) break;
    }
  }
  // The status pipe, with a record waiting.
  box.QueueStatusRecord(std::vector<unsigned char>(16, 0));
  const UsbHandle status = box.OpenStbPipe(kStatusPipeName, nullptr);
  unsigned char record[16];
  if (status != kInvalidUsbHandle) run("status", status, [&] { return box.ReadPipe(status, record, 16, &r); });
  for (UsbHandle h : {device, data, status})
    if (h != kInvalidUsbHandle) box.Close(h);
  return seen;
}

const Strings kWhole = {"header",       "announce",     "bulk",         "announce",     "bulk",
                        "end of data",  "flash 1,25",   "flash 1,50",   "flash 1,75",   "flash 1,100",
                        "flash 2,25",   "flash 2,50",   "flash 2,75",   "flash 2,100",  "flash 0,0",
                        "status"};

TEST(DemoUsbBox, EachFaultOfTheFileMisbehavesOnceAndTheNextHeaderPutsItRight) {
  struct Row {
    const char* fault;
    Strings seen;
  } rows[] = {
      {"none", kWhole},
      {"stall-4", {"header", "announce held", "status"}},
      {"stall-write", {"header", "announce", "bulk held", "status"}},
      {"stall-1139",
       {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash held", "status"}},
      {"stall-7", {"header", "announce", "bulk", "announce", "bulk", "end of data held", "flash 1,25", "flash 1,50",
                   "flash 1,75", "flash 1,100", "flash 2,25", "flash 2,50", "flash 2,75", "flash 2,100",
                   "flash 0,0", "status"}},
      {"stall-status", {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash 1,25", "flash 1,50",
                        "flash 1,75", "flash 1,100", "flash 2,25", "flash 2,50", "flash 2,75", "flash 2,100",
                        "flash 0,0", "status held"}},
      {"unplug-header", {"header failed"}},
      {"unplug-data", {"header", "announce", "bulk", "announce", "bulk failed"}},
      {"unplug-erase", {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash 1,25", "flash failed"}},
      {"unplug-write", {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash 1,25", "flash 1,50",
                        "flash 1,75", "flash 1,100", "flash 2,25", "flash failed"}},
      {"error-5", {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash 1,50", "flash 3,5",
                   "status"}},
      {"error-10", {"header", "announce", "bulk", "announce", "bulk", "end of data", "flash 1,50", "flash 3,10",
                    "status"}},
      {"no-such-fault", kWhole},
  };
  FaultFile file;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    CDemoUsbBox box;
    box.UseFaultFile(file.path());
    file.Write(row.fault);
    EXPECT_EQ(row.seen, Download(box));
    file.Write("none");
    if (std::strncmp(row.fault, "unplug", 6) == 0) {
      EXPECT_EQ(kInvalidUsbHandle, box.OpenStbDevice(nullptr));  // still away
    } else {
      EXPECT_EQ(kWhole, Download(box));
    }
    EXPECT_EQ(0, box.OpenHandleCount());
  }

  // An unplugged box is back at the first open after kUnpluggedMs, and takes a download.
  CDemoUsbBox away;
  away.UseFaultFile(file.path());
  file.Write("unplug-header");
  EXPECT_EQ(Strings{"header failed"}, Download(away));
  std::this_thread::sleep_for(std::chrono::milliseconds(CDemoUsbBox::kUnpluggedMs - 500));
  EXPECT_EQ(kInvalidUsbHandle, away.OpenStbDevice(nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  file.Write("none");
  EXPECT_EQ(kWhole, Download(away));

  for (const std::string& fault : CDemoUsbBox::Faults()) {
    CDemoUsbBox box;
    EXPECT_TRUE(box.ArmFault(fault)) << fault;
  }
  CDemoUsbBox box;
  EXPECT_FALSE(box.ArmFault("error-11"));
}

}  // namespace
