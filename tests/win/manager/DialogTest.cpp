// The library's dialogs as a client meets them: the I/O Setup dialog run by DoIOConfig and
// the about box, driven from outside like a user would.
#include <gtest/gtest.h>

#include <algorithm>

#include "MessageBoxWatcher.h"
#include "TempFile.h"
#include "TestClientWindow.h"
#include "TestWindows.h"
#include "VelManager.h"

namespace {

using Lines = std::vector<std::string>;
using Setting = std::pair<unsigned short, unsigned long>;

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    client.Run([&] {
      manager.SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel);
    });
  }
  void TearDown() override {
    client.Run([&] {
      manager.StopTransfer();
      manager.SetComportInfo(1, 115200);
    });
  }
  void Settings(unsigned short port, unsigned long baud) {
    client.Run([&] { manager.SetComportInfo(port, baud); });
  }
  std::pair<unsigned short, unsigned long> Current() {
    unsigned short port = 0;
    unsigned long baud = 0;
    manager.GetComportInfo(&port, &baud);
    return {port, baud};
  }
  // Runs DoIOConfig and hands the dialog to act; returns when DoIOConfig has returned.
  template <class Act>
  void Configure(Act act) {
    HANDLE done = client.RunAsync([&] { manager.DoIOConfig(); });
    HWND dialog = WaitForWindow("I/O Setup");
    ASSERT_NE(nullptr, dialog);
    act(dialog);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 10000)) << "DoIOConfig did not return";
    CloseHandle(done);
  }

  TestClientWindow client;
  MessageBoxWatcher boxes;
  volatile int cancel = 0;
  CVelManager manager;
  TempFile image{"stelvar-dialog.img", {1, 2, 3}};
};

}  // namespace

TEST_F(Dialogs, IOSetupOpensWithTheCurrentSettingsAndCancelChangesNothing) {
  Settings(3, 115200);
  Configure([&](HWND dialog) {
    EXPECT_EQ(client.hwnd(), GetWindow(dialog, GW_OWNER));
    HWND ports = GetDlgItem(dialog, 1001);
    HWND bauds = GetDlgItem(dialog, 1000);
    const Lines items = ComboItems(ports);
    ASSERT_EQ(32u, items.size());
    EXPECT_EQ("COM1", items.front());
    EXPECT_EQ("COM32", items.back());
    EXPECT_EQ((Lines{"9600", "19200", "38400", "57600", "115200"}), ComboItems(bauds));
    EXPECT_EQ(2, ComboSelection(ports));
    EXPECT_EQ(4, ComboSelection(bauds));
    const Lines texts = ChildTexts(dialog);
    for (const char* t : {"Serial", "COM Num.:", "Baud Rate:", "OK", "Cancel"})
      EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), t)) << t;
    ChooseComboItem(dialog, 1001, 10);
    PressButton(dialog, IDCANCEL);
  });
  EXPECT_EQ(Setting(3, 115200), Current());

  // Closing the window is a cancel too.
  Configure([&](HWND dialog) {
    ChooseComboItem(dialog, 1000, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
  });
  EXPECT_EQ(Setting(3, 115200), Current());
}

TEST_F(Dialogs, OkTakesTheChoiceAndMovesAnOpenPort) {
  client.Run([&] { manager.ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, image.path().c_str()); });
  ASSERT_EQ(1, manager.IsConnectedComport());
  client.Clear();
  Configure([&](HWND dialog) {
    ChooseComboItem(dialog, 1001, 10);  // COM11
    ChooseComboItem(dialog, 1000, 2);   // 38400
    PressButton(dialog, IDOK);
  });
  EXPECT_EQ(Setting(11, 38400), Current());
  EXPECT_EQ(1, manager.IsConnectedComport());
  EXPECT_EQ((Lines{"0:Uninitialize COM Port", "0:COM port monitoring stopped", "0:Initialize COM Port [11, 9600]",
                   "0:COM Port Monitoring Started"}),
            client.Described());
  EXPECT_TRUE(boxes.Boxes().empty());

  // Without an open port only the settings change.
  client.Run([&] { manager.StopTransfer(); });
  client.Clear();
  Configure([&](HWND dialog) {
    ChooseComboItem(dialog, 1001, 1);
    PressButton(dialog, IDOK);
  });
  EXPECT_EQ(Setting(2, 38400), Current());
  EXPECT_TRUE(client.Described().empty());
}

TEST_F(Dialogs, APortThatCannotOpenFallsBackToTheOldSettings) {
  Settings(1, 57600);
  client.Run([&] { manager.ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, image.path().c_str()); });
  client.Clear();
  Configure([&](HWND dialog) {
    ChooseComboItem(dialog, 1001, 8);  // COM9: no device
    ChooseComboItem(dialog, 1000, 4);
    PressButton(dialog, IDOK);
  });
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Failed to open com port : \\\\.\\COM9, Error No. - 2l", boxes.Boxes()[0].text);
  EXPECT_EQ(Setting(1, 57600), Current());
  EXPECT_EQ(1, manager.IsConnectedComport());
  const Lines log = client.Described();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ("0:Initialize COM Port [1, 9600]", log[log.size() - 2]);
  EXPECT_EQ("0:COM Port Monitoring Started", log.back());
}

TEST_F(Dialogs, SettingsOutsideTheListsOpenWithoutSelectionAndSurviveOk) {
  Settings(40, 14400);
  Configure([&](HWND dialog) {
    EXPECT_EQ(-1, ComboSelection(GetDlgItem(dialog, 1001)));
    EXPECT_EQ(-1, ComboSelection(GetDlgItem(dialog, 1000)));
    PressButton(dialog, IDOK);
  });
  EXPECT_EQ(Setting(40, 14400), Current());
}

TEST_F(Dialogs, AboutBoxShowsTheLibraryVersionAndClosesWithOk) {
  HANDLE done = client.RunAsync([&] { VELMAN_AboutBox(client.hwnd()); });
  HWND about = WaitForWindow("About VelManager");
  ASSERT_NE(nullptr, about);
  EXPECT_EQ(client.hwnd(), GetWindow(about, GW_OWNER));
  const Lines texts = ChildTexts(about);
  EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), "VelManager Version 1.0"));
  PressButton(about, IDOK);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 5000));
  CloseHandle(done);
  EXPECT_TRUE(boxes.Boxes().empty()) << "the about box is no message box";
}
