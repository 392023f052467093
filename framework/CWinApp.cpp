#include "CWinApp.h"

#include <ole2.h>

#include <vector>

#include "CCommandLineInfo.h"
#include "CSingleDocTemplate.h"
#include "CWnd.h"
#include "FrameworkIds.h"
#include "ResourceText.h"

IMPLEMENT_DYNAMIC(CWinApp, CCmdTarget)

namespace {

CWinApp* g_pApp = nullptr;

std::wstring Widen(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
  return wide;
}

HWND MessageBoxOwner() {
  CWinApp* pApp = AfxGetApp();
  return pApp && pApp->m_pMainWnd ? pApp->m_pMainWnd->m_hWnd : nullptr;
}

}  // namespace

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() { return g_pApp ? g_pApp->m_hInstance : GetModuleHandleA(nullptr); }

CWinApp::CWinApp(LPCSTR lpszAppName) : m_hInstance(GetModuleHandleA(nullptr)) {
  g_pApp = this;
  if (lpszAppName) {
    m_strAppName = lpszAppName;
  } else {
    m_strAppName = AfxLoadStringA(AFX_IDS_APP_TITLE);
    if (m_strAppName.empty()) {
      char path[MAX_PATH] = "";
      GetModuleFileNameA(nullptr, path, sizeof path);
      std::string name = path;
      name = name.substr(name.find_last_of("\\/") + 1);
      m_strAppName = name.substr(0, name.rfind('.'));
    }
  }
}

CWinApp::~CWinApp() {
  for (CSingleDocTemplate* pTemplate : m_templates) delete pTemplate;
  if (g_pApp == this) g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  while (PumpMessage()) {
  }
  return ExitInstance();
}

int CWinApp::ExitInstance() {
  for (CSingleDocTemplate* pTemplate : m_templates) delete pTemplate;
  m_templates.clear();
  if (m_bOleStarted) {
    OleUninitialize();
    m_bOleStarted = FALSE;
  }
  return m_nExitCode;
}

BOOL CWinApp::PumpMessage() {
  MSG msg;
  const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got == 0) {
    m_nExitCode = static_cast<int>(msg.wParam);
    return FALSE;
  }
  if (got == -1) return FALSE;
  if (!PreTranslateMessage(&msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return TRUE;
}

BOOL CWinApp::PreTranslateMessage(MSG* pMsg) {
  HWND hMain = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
  for (HWND h = pMsg->hwnd; h; h = GetParent(h)) {
    if (CWnd* pWnd = CWnd::FromHandlePermanent(h); pWnd && pWnd->PreTranslateMessage(pMsg)) return TRUE;
    if (h == hMain) return FALSE;
    if (!(GetWindowLongA(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return m_pMainWnd && m_pMainWnd->PreTranslateMessage(pMsg);
}

void CWinApp::AddDocTemplate(CSingleDocTemplate* pTemplate) {
  if (pTemplate) m_templates.push_back(pTemplate);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) { rCmdInfo.ParseArguments(__argc, __argv); }

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
  if (rCmdInfo.m_nShellCommand == CCommandLineInfo::FileNothing) return TRUE;
  if (m_templates.empty()) return FALSE;
  const bool open = rCmdInfo.m_nShellCommand == CCommandLineInfo::FileOpen;
  return m_templates.front()->OpenDocumentFile(open ? rCmdInfo.m_strFileName.c_str() : nullptr) != nullptr;
}

BOOL CWinApp::InitOle() {
  if (m_bOleStarted) return TRUE;
  if (FAILED(OleInitialize(nullptr))) return FALSE;
  m_bOleStarted = TRUE;
  return TRUE;
}

void CWinApp::LockApp() { ++m_nObjectCount; }

void CWinApp::UnlockApp() {
  if (m_nObjectCount > 0 && --m_nObjectCount == 0 && !m_bUserControl) PostQuitMessage(0);
}

void CWinApp::OnMainWindowGone() {
  m_pMainWnd = nullptr;
  if (m_nObjectCount == 0)
    PostQuitMessage(0);
  else
    m_bUserControl = FALSE;  // the last lock to go ends the program
}

void CWinApp::SetRegistryKey(LPCSTR lpszRegistryKey) { m_strRegistryKey = lpszRegistryKey ? lpszRegistryKey : ""; }

namespace {

std::string SectionKeyPath(const CWinApp& app, LPCSTR lpszSection) {
  return "Software\\" + app.m_strRegistryKey + "\\" + app.m_strAppName + "\\" + lpszSection;
}

}  // namespace

std::string CWinApp::GetProfileText(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault) const {
  const std::string fallback = lpszDefault ? lpszDefault : "";
  if (m_strRegistryKey.empty() || !lpszSection || !lpszEntry) return fallback;
  HKEY hKey = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SectionKeyPath(*this, lpszSection).c_str(), 0, KEY_QUERY_VALUE, &hKey) !=
      ERROR_SUCCESS)
    return fallback;
  std::string value = fallback;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(hKey, lpszEntry, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
    std::vector<char> buf(size + 1, '\0');
    if (RegQueryValueExA(hKey, lpszEntry, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ)
      value = buf.data();  // the stored string need not end with its terminator
  }
  RegCloseKey(hKey);
  return value;
}

BOOL CWinApp::WriteProfileText(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue) {
  if (m_strRegistryKey.empty() || !lpszSection || !lpszEntry || !lpszValue) return FALSE;
  HKEY hKey = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, SectionKeyPath(*this, lpszSection).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                      nullptr, &hKey, nullptr) != ERROR_SUCCESS)
    return FALSE;
  const LONG result = RegSetValueExA(hKey, lpszEntry, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                                     static_cast<DWORD>(lstrlenA(lpszValue) + 1));
  RegCloseKey(hKey);
  return result == ERROR_SUCCESS;
}

void CWinApp::DoWaitCursor(int nCode) {
  HCURSOR hWait = LoadCursor(nullptr, IDC_WAIT);
  if (nCode > 0) {
    if (m_nWaitCursorCount++ == 0) m_hcurWaitCursorRestore = SetCursor(hWait);
  } else if (nCode < 0) {
    if (m_nWaitCursorCount > 0 && --m_nWaitCursorCount == 0) SetCursor(m_hcurWaitCursorRestore);
  } else if (m_nWaitCursorCount > 0) {
    SetCursor(hWait);
  }
}

int AfxMessageBox(LPCSTR lpszText, UINT nType) {
  CWinApp* pApp = AfxGetApp();
  return MessageBoxA(MessageBoxOwner(), lpszText, pApp ? pApp->m_strAppName.c_str() : "", nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType) {
  CWinApp* pApp = AfxGetApp();
  std::wstring caption = AfxLoadStringW(AFX_IDS_APP_TITLE);
  if (caption.empty() && pApp) caption = Widen(pApp->m_strAppName);
  return MessageBoxW(MessageBoxOwner(), AfxLoadStringW(nIDPrompt).c_str(), caption.c_str(), nType);
}

int AfxWinMain(HINSTANCE hInstance, LPSTR, int) {
  CWinApp* pApp = AfxGetApp();
  if (!pApp) return 1;
  pApp->m_hInstance = hInstance;
  if (!pApp->InitInstance()) {
    if (pApp->m_pMainWnd) pApp->m_pMainWnd->DestroyWindow();
    return pApp->ExitInstance();
  }
  return pApp->Run();
}
