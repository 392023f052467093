// Start-up in the test process: the resources it reads, the single-instance rule, and
// what happens when OLE cannot start.
#include <objbase.h>

#include <string>
#include <vector>

#include "FrameworkIds.h"
#include "ShellFixture.h"
#include "resource.h"

namespace {

std::wstring ResourceString(UINT id) {
  const WCHAR* text = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : L"";
}

// Finds a message box of this process, reads its caption and text through the wide
// functions, then closes it with OK. Runs on a thread of its own while start-up waits in the box.
class WideBoxReader {
 public:
  WideBoxReader() { m_hThread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
  ~WideBoxReader() {
    WaitForSingleObject(m_hThread, 10000);
    CloseHandle(m_hThread);
  }
  std::wstring caption, text;
  UINT style = 0;

 private:
  static BOOL CALLBACK Find(HWND hWnd, LPARAM lParam) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    char cls[16] = "";
    GetClassNameA(hWnd, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && lstrcmpA(cls, "#32770") == 0 && GetDlgItem(hWnd, 0xFFFF)) {
      *reinterpret_cast<HWND*>(lParam) = hWnd;
      return FALSE;
    }
    return TRUE;
  }
  static DWORD WINAPI Run(LPVOID param) {
    auto* self = static_cast<WideBoxReader*>(param);
    for (int i = 0; i < 500; ++i) {
      HWND hBox = nullptr;
      EnumWindows(Find, reinterpret_cast<LPARAM>(&hBox));
      if (hBox) {
        WCHAR buf[512] = L"";
        GetWindowTextW(hBox, buf, 512);
        self->caption = buf;
        GetWindowTextW(GetDlgItem(hBox, 0xFFFF), buf, 512);
        self->text = buf;
        self->style = static_cast<UINT>(GetWindowLongA(hBox, GWL_STYLE));
        PostMessageA(hBox, WM_COMMAND, IDOK, 0);
        return 0;
      }
      Sleep(20);
    }
    return 1;
  }
  HANDLE m_hThread;
};

DWORD WINAPI StartWithOleTaken(LPVOID param) {
  // OLE cannot start on a thread that already joined the multithreaded apartment.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  *static_cast<BOOL*>(param) = theApp.InitInstance();
  theApp.ExitInstance();
  CoUninitialize();
  return 0;
}

int CountMainWindows() {
  int count = 0;
  for (HWND h = FindWindowA(nullptr, nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
    char cls[64] = "", text[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    GetWindowTextA(h, text, sizeof text);
    if (lstrcmpA(cls, CFrameWnd::kWindowClass) == 0 && lstrcmpA(text, "Stelvar v1.0.2") == 0) ++count;
  }
  return count;
}

}  // namespace

TEST(Resources, StringsReadTheSameWhateverTheCodePage) {
  EXPECT_EQ(std::wstring(L"Stelvar v1.0.2\n\nVelManager\nVelManager 파일 (*.velf)\n.velf\nVelMan.Document\n"
                         L"VelMan Document"),
            ResourceString(IDR_MAINFRAME));
  EXPECT_EQ(std::wstring(L"Stelvar V1.0.2"), ResourceString(AFX_IDS_APP_TITLE));
  EXPECT_EQ(std::wstring(L"OLE 초기화에 실패하였습니다. OLE 라이브러리의 버전이 올바른지 확인하십시오."),
            ResourceString(IDP_OLE_INIT_FAILED));
}

TEST(Resources, F1IsTheOnlyAccelerator) {
  HACCEL hAccel = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ASSERT_NE(nullptr, hAccel);
  ACCEL entries[4] = {};
  ASSERT_EQ(1, CopyAcceleratorTableA(hAccel, entries, 4));
  EXPECT_EQ(VK_F1, entries[0].key);
  EXPECT_EQ(ID_APP_ABOUT, entries[0].cmd);
  EXPECT_EQ(57664, entries[0].cmd);
  EXPECT_TRUE(entries[0].fVirt & FVIRTKEY);
  EXPECT_FALSE(entries[0].fVirt & (FSHIFT | FCONTROL | FALT));
}

TEST(Startup, WhenOleCannotStartTheKoreanMessageIsShownAndNothingIsCreated) {
  BOOL result = TRUE;
  WideBoxReader box;
  HANDLE hThread = CreateThread(nullptr, 0, StartWithOleTaken, &result, 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hThread, 20000));
  CloseHandle(hThread);
  EXPECT_FALSE(result);
  EXPECT_EQ(std::wstring(L"OLE 초기화에 실패하였습니다. OLE 라이브러리의 버전이 올바른지 확인하십시오."), box.text);
  EXPECT_EQ(std::wstring(L"Stelvar V1.0.2"), box.caption);
  EXPECT_EQ(nullptr, theApp.m_pMainWnd);
  EXPECT_EQ(0, CountMainWindows());
}
