// The Win32 USB transport: with no box present, and over named pipes standing in for the driver's interface and pipes.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DownloadWorker.h"
#include "RecordingUsbView.h"
#include "StatusMonitor.h"
#include "StbCommands.h"
#include "TempFile.h"
#include "UsbState.h"
#include "UsbTestState.h"
#include "UsbStatusThread.h"
#include "Win32UsbThreadHost.h"
#include "Win32UsbTransport.h"

namespace {

using Strings = std::vector<std::string>;

TEST(Win32UsbTransport, InterfaceClassIsTheDriversGuid) {
  const GUID& g = GUID_STB_INTERFACE_CLASS;
  char text[64];
  std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  EXPECT_STREQ("{21817EDD-EDAD-48E7-9BCF-990370C5401F}", text);
}

TEST(Win32UsbTransport, WithNoBoxNothingOpens) {
  CWin32UsbTransport& t = CWin32UsbTransport::Instance();
  char path[kStbPathSize];
  UsbOpenFailure why = UsbOpenFailure::kNone;
  EXPECT_EQ(INVALID_HANDLE_VALUE, t.FindStbInterface(GUID_STB_INTERFACE_CLASS, path, &why));
  EXPECT_EQ(UsbOpenFailure::kNotFound, why);
  EXPECT_FALSE(t.GetStbInterfacePath(GUID_STB_INTERFACE_CLASS, path, nullptr));
  EXPECT_EQ(kInvalidUsbHandle, t.OpenStbDevice(nullptr));
  EXPECT_EQ(kInvalidUsbHandle, t.OpenStbPipe("PIPE00", &why));
  EXPECT_EQ(UsbOpenFailure::kNotFound, why);
}

TEST(Win32UsbTransport, WithNoBoxTheRequestsReportBothLines) {
  RecordingUsbView view;
  CWin32UsbTransport& t = CWin32UsbTransport::Instance();
  unsigned char data[263] = {};
  EXPECT_EQ(0u, SendStbRequest(t, view, STB_REQ_DOWNLOAD_HEADER, 263, data));
  EXPECT_EQ((Strings{"Open device handle failed!", "USB is not connect!"}), view.Lines());
  EXPECT_EQ(2, view.Count("controls out"));

  view.Clear();
  EXPECT_EQ(0u, SendStbCommand(t, view, STB_REQ_END_OF_DATA, 0, nullptr));
  EXPECT_EQ((Strings{"line:Open device handle failed!", "line:STB not connect!"}), view.Log());
}

TEST(Win32UsbTransport, WithNoBoxTheDownloadEndsCleanly) {
  ResetUsbState();
  TempFile image("usb-nobox.img", std::vector<unsigned char>(5000, 0x5A));
  RecordingUsbView view;
  DownloadJob job(CWin32UsbTransport::Instance(), CWin32UsbThreadHost::Instance());
  EXPECT_EQ(0, StartDownload(job, view, image.path().c_str(), 5000));
  EXPECT_EQ((Strings{"Open device handle failed!", "USB is not connect!"}), view.Lines());

  // The worker on its own: the data pipe does not open, and the file is let go.
  view.Clear();
  job.view = &view;
  job.imagePath = image.path();
  job.imageSize = 5000;
  job.dataRequest = STB_REQ_DATA_TRANSFER;
  EXPECT_EQ(0u, DownloadWorker(&job));
  EXPECT_EQ((Strings{"line:Open driver failed! Can't write to PIPE03.", "msg 07FF"}), view.Log());
  HANDLE again = CreateFileA(image.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, again);
  CloseHandle(again);
}

TEST(Win32UsbTransport, StatusThreadWithNoBoxWaitsAndStopsPromptly) {
  ResetUsbState();
  CUsbStatusThread status(CWin32UsbTransport::Instance(), CWin32UsbThreadHost::Instance());
  RecordingUsbView view;
  ASSERT_TRUE(status.Start(&view));
  DWORD start = GetTickCount();
  while (g_usbState != USB_STATE_WAITING && GetTickCount() - start < 10000) Sleep(20);
  EXPECT_EQ(USB_STATE_WAITING, g_usbState);
  EXPECT_GE(GetTickCount() - start, 1500u);  // the first look comes after the 2 s pause
  DWORD stopAt = GetTickCount();
  EXPECT_TRUE(status.Stop());
  EXPECT_LT(GetTickCount() - stopAt, 1000u);  // the pause ends with the stop
  EXPECT_FALSE(status.IsRunning());
}

// Named pipes in the place of the driver: "\\.\pipe\<name>" is an interface path and
// "\\.\pipe\<name>\PIPE00" its pipe. Control requests fail on them, as they would on a
// device that does not know the codes.
class NamedPipeServer {
 public:
  NamedPipeServer(const std::string& name, int instances) : m_name(name) {
    for (int i = 0; i < instances; ++i) {
      HANDLE h = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT,
                                  PIPE_UNLIMITED_INSTANCES, 65536, 65536, 0, nullptr);
      EXPECT_NE(INVALID_HANDLE_VALUE, h) << name;
      m_instances.push_back(h);
    }
  }
  ~NamedPipeServer() {
    for (HANDLE h : m_instances) CloseHandle(h);
  }
  HANDLE instance(int i) const { return m_instances[i]; }
  const std::string& name() const { return m_name; }

 private:
  std::string m_name;
  std::vector<HANDLE> m_instances;
};

class PipeList : public IDeviceInterfaceList {
 public:
  explicit PipeList(Strings paths) : m_paths(std::move(paths)) {}
  bool IsValid() const override { return true; }
  Member Enumerate(unsigned int index) override {
    return index < m_paths.size() ? Member::kFound : Member::kNoMoreItems;
  }
  bool GetPath(unsigned int index, std::string& path) override {
    path = m_paths[index];
    return true;
  }
  UsbHandle Open(const char* path) override {
    return reinterpret_cast<UsbHandle>(CWin32UsbTransport::OpenPath(path));
  }

 private:
  Strings m_paths;
};

class PipeTransport : public CWin32UsbTransport {
 public:
  explicit PipeTransport(Strings paths) : m_paths(std::move(paths)) {}
  // The firmware request answered, so the status thread goes on to read its pipe.
  bool answerFirmware = false;
  bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data, uint32_t* got) override {
    if (answerFirmware && request == STB_REQ_FIRMWARE_VERSION) return true;
    return CWin32UsbTransport::ReadRequest(device, request, length, data, got);
  }
  std::atomic<int> resets{0};
  void ResetPipe(UsbHandle pipe) override {
    ++resets;
    CWin32UsbTransport::ResetPipe(pipe);
  }

 protected:
  std::unique_ptr<IDeviceInterfaceList> ListInterfaces(const GUID&) override {
    return std::unique_ptr<IDeviceInterfaceList>(new PipeList(m_paths));
  }

 private:
  Strings m_paths;
};

std::string PipeName(const char* what) {
  return std::string("\\\\.\\pipe\\stelvar-usb-") + std::to_string(GetCurrentProcessId()) + "-" + what;
}

TEST(Win32UsbTransport, FirstInterfaceThatOpensWinsAndPipesHangBelowIt) {
  NamedPipeServer held(PipeName("held"), 1);
  HANDLE holder = CWin32UsbTransport::OpenPath(held.name().c_str());  // another program holds it
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  NamedPipeServer box(PipeName("box"), 6);
  NamedPipeServer status(box.name() + "\\PIPE00", 1);
  NamedPipeServer data(box.name() + "\\PIPE03", 1);
  PipeTransport t({PipeName("missing"), held.name(), box.name()});

  char path[kStbPathSize];
  HANDLE device = t.FindStbInterface(GUID_STB_INTERFACE_CLASS, path, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, device);
  EXPECT_EQ(box.name(), path);

  // Bulk data goes to PIPE03 through WriteFile.
  UsbHandle out = t.OpenStbPipe("PIPE03", nullptr);
  ASSERT_NE(kInvalidUsbHandle, out);
  std::vector<unsigned char> chunk(4096);
  for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<unsigned char>(i);
  uint32_t written = 0;
  ASSERT_TRUE(t.WritePipe(out, chunk.data(), 4096, &written));
  EXPECT_EQ(4096u, written);
  std::vector<unsigned char> got(4096);
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(data.instance(0), got.data(), 4096, &n, nullptr));
  EXPECT_EQ(chunk, got);

  // Status records come from PIPE00 through ReadFile.
  UsbHandle in = t.OpenStbPipe("PIPE00", nullptr);
  ASSERT_NE(kInvalidUsbHandle, in);
  const unsigned char record[16] = {0x00, 0x0F, 0x42, 0x40, 1};
  ASSERT_TRUE(WriteFile(status.instance(0), record, 16, &n, nullptr));
  unsigned char buf[32];
  uint32_t count = 0;
  ASSERT_TRUE(t.ReadPipe(in, buf, 16, &count));
  EXPECT_EQ(16u, count);
  EXPECT_EQ(0, std::memcmp(record, buf, 16));

  // A handle the driver codes mean nothing to: the request fails, only the second line shows.
  uint32_t returned = 7;
  EXPECT_FALSE(t.WriteRequest(reinterpret_cast<UsbHandle>(device), STB_REQ_END_OF_DATA, 0, nullptr, &returned));
  EXPECT_EQ(0u, returned);
  RecordingUsbView view;
  EXPECT_EQ(0u, SendStbRequest(t, view, STB_REQ_END_OF_DATA, 0, nullptr));
  EXPECT_EQ(Strings{"USB is not connect!"}, view.Lines());

  t.Close(in);
  t.Close(out);
  CloseHandle(device);
  CloseHandle(holder);
}

TEST(Win32UsbTransport, PipePathTooLongIsRefused) {
  std::string longName = "\\\\.\\pipe\\" + std::string(250, 'x');
  PipeTransport t({longName});
  UsbOpenFailure why = UsbOpenFailure::kNone;
  EXPECT_EQ(kInvalidUsbHandle, t.OpenStbPipe("PIPE00", &why));
  EXPECT_NE(UsbOpenFailure::kNone, why);
}

TEST(Win32UsbTransport, StopEndsTheStatusThreadBlockedInAPipeRead) {
  ResetUsbState();
  NamedPipeServer box(PipeName("blocked"), 4);
  NamedPipeServer status(box.name() + "\\PIPE00", 1);
  PipeTransport t({box.name()});
  t.answerFirmware = true;
  CUsbStatusThread monitor(t, CWin32UsbThreadHost::Instance());
  RecordingUsbView view;
  ASSERT_TRUE(monitor.Start(&view));
  DWORD start = GetTickCount();
  while (g_usbState != USB_STATE_CONNECTED && GetTickCount() - start < 10000) Sleep(20);
  ASSERT_EQ(USB_STATE_CONNECTED, g_usbState);
  Sleep(200);  // now in ReadFile on PIPE00, which no one writes
  DWORD stopAt = GetTickCount();
  EXPECT_TRUE(monitor.Stop());
  EXPECT_LT(GetTickCount() - stopAt, 2000u);
  // The cancelled read is the stop, not a failure of the pipe.
  EXPECT_EQ(0, t.resets);
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
}

}  // namespace
