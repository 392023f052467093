// A whole download on real Win32 threads against the simulated box, reported to a window on the test's thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "DownloadWorker.h"
#include "SimUsbBox.h"
#include "TempFile.h"
#include "UsbDownloadView.h"
#include "UsbMessages.h"
#include "UsbState.h"
#include "UsbThreads.h"
#include "Win32UsbThreadHost.h"

namespace {

using Strings = std::vector<std::string>;

constexpr UINT kAddLine = WM_APP + 1;

// The view's side as the later USB view will have it: every call from a thread is a
// SendMessage to the window, handled on the window's thread.
class WindowView : public IUsbDownloadView {
 public:
  // startsEndOfData false: a view that answers WM_USB_DATA_SENT with 0 and starts nothing.
  explicit WindowView(DownloadJob& job, bool startsEndOfData = true) : m_job(job), m_startsEndOfData(startsEndOfData) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "UsbThreadsTestView";
    RegisterClassA(&wc);
    m_hWnd = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    m_uiThread = GetCurrentThreadId();
  }
  ~WindowView() override { DestroyWindow(m_hWnd); }

  void AddMessage(const char* text) override { SendMessageA(m_hWnd, kAddLine, 0, reinterpret_cast<LPARAM>(text)); }
  void SetBarPos(UsbProgressBar bar, int pos) override {
    if (bar == UsbProgressBar::kDownload) Record("download " + std::to_string(pos));
  }
  void SetBarText(UsbProgressBar, const char*) override {}
  intptr_t SendViewMessage(unsigned int msg) override { return SendMessageA(m_hWnd, msg, 0, 0); }
  void RunDownloadCommand() override {}
  void ControlsToData() override {}
  void DataToControls() override {}

  // Pumps this thread's messages until the worker has reported its end.
  bool WaitForDone(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!m_done) {
      if (GetTickCount() - start > timeoutMs) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    return true;
  }
  Strings Log() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
  }
  bool allOnUiThread = true;

 private:
  void Record(const std::string& s) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.push_back(s);
  }
  static LRESULT CALLBACK WndProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE)
      SetWindowLongPtrA(h, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<WindowView*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self) return DefWindowProcA(h, msg, wParam, lParam);
    if (msg == kAddLine || (msg >= WM_USB_DATA_SENT && msg <= WM_USB_DOWNLOAD_DONE)) {
      if (GetCurrentThreadId() != self->m_uiThread) self->allOnUiThread = false;
    }
    switch (msg) {
      case kAddLine:
        self->Record(std::string("line:") + reinterpret_cast<const char*>(lParam));
        return 0;
      case WM_USB_DATA_SENT:
        self->Record("data sent");
        if (!self->m_startsEndOfData) return 0;
        return StartEndOfDataThread(self->m_job) ? 1 : 0;
      case WM_USB_END_SENT:
        self->Record("end sent");
        return 0;
      case WM_USB_DOWNLOAD_DONE:
        self->Record("done");
        self->m_done = true;
        return 0;
    }
    return DefWindowProcA(h, msg, wParam, lParam);
  }

  DownloadJob& m_job;
  bool m_startsEndOfData;
  HWND m_hWnd;
  DWORD m_uiThread;
  bool m_done = false;
  std::mutex m_mutex;
  Strings m_log;
};

TEST(UsbThreads, WholeDownloadOnRealThreads) {
  g_usbState = 0;
  g_downloadKind = 0;
  std::vector<unsigned char> image(10000);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<unsigned char>(i * 13);
  TempFile file("usb-threads.img", image);
  CSimUsbBox box;
  box.SetFlashScript({{1, 50}, {2, 50}, {0, 0}});
  DownloadJob job(box, CWin32UsbThreadHost::Instance());
  WindowView view(job);

  ASSERT_EQ(1, StartDownload(job, view, file.path().c_str(), 10000));
  ASSERT_TRUE(StartDownloadWorker(job));
  ASSERT_TRUE(view.WaitForDone(20000));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(static_cast<HANDLE>(job.threadHandle), 5000));
  DWORD result = 0;
  GetExitCodeThread(static_cast<HANDLE>(job.threadHandle), &result);
  EXPECT_EQ(10000u, result);
  ReleaseDownloadWorker(job);

  EXPECT_EQ(image, box.ReceivedImage());
  EXPECT_TRUE(box.Violations().empty());
  EXPECT_EQ(0, box.OpenHandleCount());
  Strings requests = box.Requests();
  Strings expectedStream{"header usb-threads.img 10000", "announce 4096", "bulk 4096", "announce 4096", "bulk 4096",
                         "announce 1808", "bulk 1808"};
  ASSERT_GE(requests.size(), expectedStream.size() + 2);
  EXPECT_EQ(expectedStream, Strings(requests.begin(), requests.begin() + expectedStream.size()));
  // Request 7 and the polling run side by side: request 7 is there once, polling ends on "complete".
  EXPECT_EQ(1, std::count(requests.begin(), requests.end(), "end of data"));
  EXPECT_EQ("flash 0,0", requests.back());

  Strings log = view.Log();
  Strings lines;
  for (const std::string& e : log)
    if (e.compare(0, 5, "line:") == 0) lines.push_back(e.substr(5));
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), lines);
  auto at = [&](const char* what) { return std::find(log.begin(), log.end(), what) - log.begin(); };
  EXPECT_LT(at("download 100"), at("data sent"));
  EXPECT_LT(at("data sent"), at("end sent"));
  EXPECT_LT(at("end sent"), at("done"));  // the worker waited for the end-of-data thread
  EXPECT_EQ("done", log.back());
  EXPECT_TRUE(view.allOnUiThread);
  EXPECT_EQ(0, job.running);
}

TEST(UsbThreads, ViewThatStartsNoEndOfDataStillGetsItAndItsDone) {
  g_usbState = 0;
  g_downloadKind = 0;
  std::vector<unsigned char> image(5000, 0x5A);
  TempFile file("usb-threads-zero.img", image);
  CSimUsbBox box;
  box.SetFlashScript({{0, 0}});
  DownloadJob job(box, CWin32UsbThreadHost::Instance());
  WindowView view(job, false);
  ASSERT_EQ(1, StartDownload(job, view, file.path().c_str(), 5000));
  ASSERT_TRUE(StartDownloadWorker(job));
  ASSERT_TRUE(view.WaitForDone(20000));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(static_cast<HANDLE>(job.threadHandle), 5000));
  ReleaseDownloadWorker(job);
  Strings requests = box.Requests();
  EXPECT_EQ(1, std::count(requests.begin(), requests.end(), "end of data"));
  Strings log = view.Log();
  auto at = [&](const char* what) { return std::find(log.begin(), log.end(), what) - log.begin(); };
  EXPECT_LT(at("data sent"), at("end sent"));
  EXPECT_LT(at("end sent"), at("done"));
  EXPECT_EQ("done", log.back());
  EXPECT_EQ(0, box.OpenHandleCount());
}

}  // namespace
