// The USB download view in the program's frame, with the simulated box behind the
// transport: what a person does with the File and Download buttons and what the view
// shows while the real worker and status threads run.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "DownloadWorker.h"
#include "MessageBoxWatcher.h"
#include "SettingsStore.h"
#include "ShellFixture.h"
#include "SimUsbBox.h"
#include "TempFile.h"
#include "UsbServices.h"
#include "UsbState.h"
#include "VelManUSBView.h"
#include "Win32UsbThreadHost.h"

namespace {

using Strings = std::vector<std::string>;

// Answers the next file-open dialog of this process with a path (or cancels it), from a
// thread of its own while the view's thread runs the dialog.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(std::string path) : m_path(std::move(path)) {
    m_hThread = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
  }
  ~DialogAnswerer() {
    WaitForSingleObject(m_hThread, 20000);
    CloseHandle(m_hThread);
  }
  bool answered() const { return m_answered; }

 private:
  static BOOL CALLBACK Find(HWND hWnd, LPARAM lParam) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    char cls[16] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(hWnd) &&
        !MessageBoxWatcher::IsMessageBox(hWnd)) {
      *reinterpret_cast<HWND*>(lParam) = hWnd;
      return FALSE;
    }
    return TRUE;
  }
  static DWORD WINAPI ThreadProc(LPVOID param) {
    auto* self = static_cast<DialogAnswerer*>(param);
    HWND hDialog = nullptr;
    for (int i = 0; i < 300 && !hDialog; ++i) {
      Sleep(50);
      EnumWindows(Find, reinterpret_cast<LPARAM>(&hDialog));
    }
    if (!hDialog) return 0;
    if (self->m_path.empty()) {
      PostMessageA(hDialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      HWND hName = GetDlgItem(hDialog, 0x47C);
      if (!hName) hName = GetDlgItem(hDialog, 0x480);
      SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(self->m_path.c_str()));
      PostMessageA(hDialog, WM_COMMAND, IDOK, 0);
    }
    self->m_answered = true;
    return 0;
  }

  std::string m_path;
  HANDLE m_hThread;
  std::atomic<bool> m_answered{false};
};

std::vector<unsigned char> Image(size_t size) {
  std::vector<unsigned char> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<unsigned char>(i * 7 + 3);
  return image;
}

// Breaks the cable after a number of bulk writes, as a box unplugged in the middle of the data.
class UnpluggedBox : public CSimUsbBox {
 public:
  explicit UnpluggedBox(unsigned int writes) : m_left(writes) {}
  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override {
    if (m_left-- == 0) Unplug();
    return CSimUsbBox::WritePipe(pipe, data, length, written);
  }

 private:
  std::atomic<int> m_left;
};

class UsbView : public Shell {
 protected:
  void SetUp() override {
    g_usbState = 0;
    g_stateMessageShown = 0;
    g_connectedTicks = 0;
    g_downloadKind = 0;
    box->SetFlashScript({{0, 0}});
    CUsbServices::Install(box, &CWin32UsbThreadHost::Instance());
    Shell::SetUp();
    frame->SwitchMode(CMainFrame::kUsbMode);
    view = dynamic_cast<CVelManUSBView*>(Pane(1));
    ASSERT_NE(nullptr, view);
    // The status thread finds the box within its first look.
    ASSERT_TRUE(PumpUntil([&] { return Contains("USB is connected"); }, 5000)) << Join(Lines());
  }
  void TearDown() override {
    Shell::TearDown();
    CUsbServices::Install(nullptr, nullptr);
  }

  HWND Item(int id) const { return GetDlgItem(view->m_hWnd, id); }
  Strings Lines() {
    Strings lines;
    for (int i = 0; i < view->Messages().GetCount(); ++i) lines.push_back(view->Messages().GetText(i));
    return lines;
  }
  bool Contains(const std::string& line) {
    Strings lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static std::string Join(const Strings& lines) {
    std::string all;
    for (const std::string& l : lines) all += "[" + l + "] ";
    return all;
  }
  // Lines from the first "Download Start" on.
  Strings DownloadLines() {
    Strings lines = Lines();
    auto start = std::find(lines.begin(), lines.end(), "Download Start");
    return Strings(start, lines.end());
  }
  void ChooseFile(const std::string& path) {
    DialogAnswerer answer(path);
    SendMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_USB_FILE, BN_CLICKED), reinterpret_cast<LPARAM>(Item(IDC_USB_FILE)));
  }
  // The path as the edit shows it, taken into the view like the timer does.
  void TypePath(const std::string& path) {
    SetDlgItemTextA(view->m_hWnd, IDC_USB_PATH, path.c_str());
    view->ControlsToData();
  }
  void PressDownload() {
    PostMessageA(view->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_USB_DOWNLOAD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(IDC_USB_DOWNLOAD)));
  }
  bool Busy() { return !IsWindowEnabled(Item(IDC_USB_DOWNLOAD)); }
  bool WaitUntilIdle(DWORD ms) {
    return PumpUntil([&] { return !Busy() && view->Job().running == 0; }, ms);
  }
  int Pos(UsbProgressBar bar) { return view->Bar(bar).m_nPos; }
  bool CloseGreyed() {
    return (GetMenuState(GetSystemMenu(frame->m_hWnd, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
  }
  // The Download button's face as drawn, compared against a face bitmap at its centre row.
  bool FaceIs(WORD bitmapId) {
    HWND hButton = Item(IDC_USB_DOWNLOAD);
    RedrawWindow(hButton, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HBITMAP face = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP,
                                                   0, 0, LR_CREATEDIBSECTION));
    if (!face) return false;
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, face);
    HDC dc = GetDC(hButton);
    int same = 0;
    int total = 0;
    for (int x = 4; x < 74; x += 3) {
      for (int y = 6; y < 20; y += 4) {
        ++total;
        if (GetPixel(dc, x, y) == GetPixel(mem, x, y)) ++same;
      }
    }
    ReleaseDC(hButton, dc);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(face);
    return same * 10 >= total * 9;
  }

  CSimUsbBox ownBox;
  CSimUsbBox* box = &ownBox;
  CVelManUSBView* view = nullptr;
};

TEST_F(UsbView, FormControlsStylesAndPlaces) {
  struct Expect {
    int id;
    DWORD style;
    CRect place;
  } expects[] = {{IDC_USB_DOWNLOAD, 0x50010001, CRect(421, 191, 499, 217)},
                 {IDC_USB_FILE, 0x50010000, CRect(420, 44, 498, 70)},
                 {IDC_USB_MESSAGES, 0x50310101, CRect(49, 240, 392, 295)}};
  for (const Expect& e : expects) {
    // The skin buttons are owner-drawn once attached, and the list shows its scroll bars
    // (style bits) only when it needs them; the template's style is the rest.
    const DWORD mask = ~(0xFu | WS_HSCROLL | WS_VSCROLL);
    EXPECT_EQ(e.style & mask, static_cast<DWORD>(GetWindowLongA(Item(e.id), GWL_STYLE)) & mask) << e.id;
    EXPECT_EQ(e.place, RectInParent(Item(e.id))) << e.id;
  }
  EXPECT_EQ(0x50010880u, static_cast<DWORD>(GetWindowLongA(Item(IDC_USB_PATH), GWL_STYLE)));
  const char* names[] = {"DownloadProgressWnd", "EraseProgressWnd", "WriteProgressWnd"};
  for (int i = 0; i < 3; ++i) {
    HWND hBar = FindWindowExA(view->m_hWnd, nullptr, nullptr, names[i]);
    ASSERT_NE(nullptr, hBar) << names[i];
    EXPECT_EQ(CRect(49, 120 + 40 * i, 392, 134 + 40 * i), RectInParent(hBar)) << names[i];
    EXPECT_TRUE(GetWindowLongA(hBar, GWL_EXSTYLE) & WS_EX_STATICEDGE);
  }
  EXPECT_TRUE(FaceIs(IDB_USB_DOWNLOAD));
}

TEST_F(UsbView, WholeDownloadFromTheFileButtonToTheEnd) {
  const std::vector<unsigned char> image = Image(20000);
  TempFile file("usbview-box.img", image);
  TempFile other("usbview-other.img", Image(10));
  box->SetFlashScript({{1, 30}, {1, 30}, {1, 30}, {1, 60}, {1, 60}, {2, 50}, {2, 50}, {2, 50}, {0, 0}});

  MessageBoxWatcher boxes(100);
  ChooseFile(file.path());
  EXPECT_EQ(file.path(), view->FilePath());
  char shown[MAX_PATH] = "";
  GetDlgItemTextA(view->m_hWnd, IDC_USB_PATH, shown, sizeof shown);
  EXPECT_EQ(file.path(), shown);
  EXPECT_EQ("'usbview-box.img' is selected", Lines().back());

  PressDownload();
  int downloadSeen = 0, eraseSeen = 0, writeSeen = 0;
  bool busyLooked = false, otherChosen = false;
  ASSERT_TRUE(PumpUntil(
      [&] {
        downloadSeen = std::max(downloadSeen, Pos(UsbProgressBar::kDownload));
        eraseSeen = std::max(eraseSeen, Pos(UsbProgressBar::kErase));
        writeSeen = std::max(writeSeen, Pos(UsbProgressBar::kWrite));
        if (eraseSeen == 30 && !busyLooked) {
          busyLooked = true;
          EXPECT_TRUE(Busy());
          EXPECT_TRUE(FaceIs(IDB_USB_DOWNLOAD_BUSY));
          EXPECT_TRUE(CloseGreyed());
          EXPECT_TRUE(IsWindowEnabled(Item(IDC_USB_FILE)));
          PressDownload();  // a command that reaches the greyed button does nothing
          ChooseFile(other.path());  // the worker took its path at the start
          otherChosen = view->FilePath() == other.path();
        }
        return busyLooked && !Busy();
      },
      30000));
  EXPECT_TRUE(otherChosen);
  EXPECT_EQ(100, downloadSeen);
  EXPECT_EQ(60, eraseSeen);
  EXPECT_EQ(50, writeSeen);
  EXPECT_EQ(0, Pos(UsbProgressBar::kDownload));
  EXPECT_EQ(0, Pos(UsbProgressBar::kErase));
  EXPECT_EQ(0, Pos(UsbProgressBar::kWrite));
  EXPECT_FALSE(CloseGreyed());
  EXPECT_TRUE(FaceIs(IDB_USB_DOWNLOAD));

  Strings lines = DownloadLines();
  lines.erase(std::remove(lines.begin(), lines.end(), "'usbview-other.img' is selected"), lines.end());
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), lines);
  EXPECT_EQ(image, box->ReceivedImage());
  Strings requests = box->Requests();
  EXPECT_EQ(1, std::count_if(requests.begin(), requests.end(),
                             [](const std::string& r) { return r.compare(0, 7, "header ") == 0; }));
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ("usbview-box.img", box->HeaderName());
  EXPECT_EQ(20000u, box->HeaderSize());
  EXPECT_EQ(CSettingsStore::FolderOf(file.path()), CSettingsStore::ReadLastDir());
}

TEST_F(UsbView, EachFlashErrorCodeEndsTheDownloadWithItsLine) {
  TempFile file("usbview-err.img", Image(64));
  TypePath(file.path());
  for (int code = 1; code <= 10; ++code) {
    box->SetFlashScript({{1, 10}, {3, static_cast<signed char>(code)}, {0, 0}});
    const int before = view->Messages().GetCount();
    PressDownload();
    ASSERT_TRUE(PumpUntil([&] { return Busy(); }, 5000)) << code;
    ASSERT_TRUE(WaitUntilIdle(10000)) << code;
    Strings lines = Lines();
    Strings these(lines.begin() + before, lines.end());
    EXPECT_EQ((Strings{"Download Start", "Erase Flash", FlashErrorText(code)}), these) << code;
    EXPECT_EQ(0, Pos(UsbProgressBar::kErase)) << code;
  }
}

class UsbViewUnplugged : public UsbView {
 protected:
  UsbViewUnplugged() : unplugging(2) { box = &unplugging; }
  UnpluggedBox unplugging;
};

TEST_F(UsbViewUnplugged, ABoxUnpluggedInTheMiddleOfTheDataEndsTheDownload) {
  TempFile file("usbview-unplug.img", Image(5 * 4096));
  TypePath(file.path());
  PressDownload();
  ASSERT_TRUE(PumpUntil([&] { return Busy(); }, 5000));
  ASSERT_TRUE(WaitUntilIdle(15000)) << Join(Lines());
  Strings lines = DownloadLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("Download Start", lines[0]);
  EXPECT_EQ(lines.end(), std::find(lines.begin(), lines.end(), "Complete"));
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "Writing PIPE03 failed!")) << Join(lines);
  EXPECT_LT(box->ReceivedImage().size(), 5u * 4096);
  EXPECT_EQ(0, Pos(UsbProgressBar::kDownload));
  EXPECT_FALSE(CloseGreyed());
}

TEST_F(UsbView, StateFiveStartsTheSameDownloadAgainByItself) {
  TempFile file("usbview-again.img", Image(5000));
  TypePath(file.path());
  PressDownload();
  ASSERT_TRUE(PumpUntil([&] { return Busy(); }, 5000));
  ASSERT_TRUE(WaitUntilIdle(10000));
  // The box reports the whole image taken with result 1.
  box->QueueStatusRecord({0, 0, 0x13, 0x88, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(PumpUntil([&] { return Busy(); }, 5000));
  ASSERT_TRUE(WaitUntilIdle(10000));
  Strings requests = box->Requests();
  EXPECT_EQ(2, std::count(requests.begin(), requests.end(), "header usbview-again.img 5000"));
  Strings lines = DownloadLines();
  EXPECT_EQ((Strings{"Download Start", "Complete", "Download Start", "Complete"}), lines);
}

TEST_F(UsbView, AFileThatCannotBeOpenedOrAHeaderTheBoxRefusesShowsItsBox) {
  MessageBoxWatcher boxes(100);
  TypePath("C:\\no\\such\\dir\\box.img");
  PressDownload();
  ASSERT_TRUE(PumpUntil([&] { return boxes.Boxes().size() == 1; }, 5000));
  EXPECT_EQ("Can't open C:\\no\\such\\dir\\box.img file!!!", boxes.Boxes()[0].text);
  EXPECT_EQ("Stelvar V1.0.2", boxes.Boxes()[0].caption);
  EXPECT_EQ("C:\\no\\such\\dir", CSettingsStore::ReadLastDir());

  TempFile file("usbview-refused.img", Image(100));
  TypePath(file.path());
  box->FailDeviceOpens(true);
  PressDownload();
  ASSERT_TRUE(PumpUntil([&] { return boxes.Boxes().size() == 2; }, 5000));
  EXPECT_EQ("Can't translate " + file.path() + " !!!", boxes.Boxes()[1].text);
  PumpFor(200);
  EXPECT_FALSE(Busy());
  // Not opened for sharing while the download was being started, and closed again.
  HANDLE h = CreateFileA(file.path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
}

TEST_F(UsbView, CancelledFileDialogAddsTheSelectionLineAndLongNamesShowInFull) {
  ChooseFile("");
  EXPECT_EQ("'' is selected", Lines().back());
  EXPECT_EQ("", view->FilePath());
  TempFile file("usbview-a-name-much-longer-than-thirty-seven-characters.img");
  ChooseFile(file.path());
  EXPECT_EQ("'usbview-a-name-much-longer-than-thirty-seven-characters.img' is selected", Lines().back());
  // Wider than the list: it scrolls sideways to the end of the line.
  EXPECT_GT(SendMessageA(Item(IDC_USB_MESSAGES), LB_GETHORIZONTALEXTENT, 0, 0), 343);
  ChooseFile("");
  EXPECT_EQ("'usbview-a-name-much-longer-than-thirty-seven-characters.img' is selected", Lines().back());
}

}  // namespace

namespace {

TEST_F(UsbView, SwitchingBackWhileTheStatusThreadWaitsInAReadIsPrompt) {
  // Connected and no record queued: the status thread waits in its read of the pipe.
  PumpFor(300);
  ASSERT_TRUE(view->StatusThread().IsRunning());
  const DWORD before = GetTickCount();
  frame->SwitchMode(CMainFrame::kSerialMode);
  EXPECT_LT(GetTickCount() - before, 5000u);
  EXPECT_EQ("CVelManView", ClassOf(Pane(1)));
  EXPECT_EQ(0, g_stateMessageShown);
}

}  // namespace
