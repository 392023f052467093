// CWinApp.h - the application object: start-up and message loop, document templates, profile strings, wait cursor.
//
// Exactly one exists, constructed as a global before start-up; AfxWinMain runs it:
// InitInstance, then the message loop (Run) until WM_QUIT, then ExitInstance.
//
// When the program ends. While the user controls the program, the end of its main window
// ends the message loop, unless objects still lock the application (LockApp); then the
// loop ends when the last lock goes. A program started for OLE (embedding, automation)
// is not under the user's control: it runs without a window until the last lock goes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "CCmdTarget.h"

class CCommandLineInfo;
class CSingleDocTemplate;
class CWnd;

class CWinApp : public CCmdTarget {
  DECLARE_DYNAMIC(CWinApp)

 public:
  // lpszAppName null: the title from string AFX_IDS_APP_TITLE, else the program's file name.
  explicit CWinApp(LPCSTR lpszAppName = nullptr);
  ~CWinApp() override;

  virtual BOOL InitInstance();
  // The message loop; returns ExitInstance's result.
  virtual int Run();
  // Deletes the templates and ends OLE if InitOle started it; returns the exit code.
  virtual int ExitInstance();
  // Walks from the message's window up through its parents, asking each object's
  // PreTranslateMessage, then the main window's (for its accelerators): TRUE when handled.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Takes one message from the queue through PreTranslateMessage and dispatch; FALSE at WM_QUIT.
  BOOL PumpMessage();

  // Document templates; the application owns them.
  void AddDocTemplate(CSingleDocTemplate* pTemplate);
  void ParseCommandLine(CCommandLineInfo& rCmdInfo);
  // Opens a new document or the named file with the first template; FALSE when that fails.
  BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);

  // Starts OLE for this thread (ended again by ExitInstance); FALSE when it cannot start.
  BOOL InitOle();
  void LockApp();
  void UnlockApp();
  // The program serves OLE rather than a user: it ends when its last lock goes.
  void SetUserControl(BOOL bUserControl) { m_bUserControl = bUserControl; }
  // Called by the main window when it is gone.
  void OnMainWindowGone();

  // Profile strings live in HKEY_CURRENT_USER\Software\<key>\<application name>\<section>,
  // as REG_SZ values named after their entries. Without a key nothing is stored.
  void SetRegistryKey(LPCSTR lpszRegistryKey);
  // The stored string, or lpszDefault when the section or entry is missing or unreadable.
  std::string GetProfileText(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszDefault = "") const;
  // Stores the string, creating the section as needed; FALSE when it could not be stored.
  BOOL WriteProfileText(LPCSTR lpszSection, LPCSTR lpszEntry, LPCSTR lpszValue);

  // The hourglass while work runs on this thread; nested calls count.
  void BeginWaitCursor() { DoWaitCursor(1); }
  void EndWaitCursor() { DoWaitCursor(-1); }
  void DoWaitCursor(int nCode);

  HINSTANCE m_hInstance;
  CWnd* m_pMainWnd = nullptr;
  std::string m_strAppName;
  std::string m_strRegistryKey;

 protected:
  std::vector<CSingleDocTemplate*> m_templates;
  int m_nExitCode = 0;
  int m_nObjectCount = 0;
  BOOL m_bUserControl = TRUE;
  BOOL m_bOleStarted = FALSE;
  int m_nWaitCursorCount = 0;
  HCURSOR m_hcurWaitCursorRestore = nullptr;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// A message box with the application name as its caption, owned by the main window.
int AfxMessageBox(LPCSTR lpszText, UINT nType = MB_OK);
// The same with the text of string resource nIDPrompt, shown through the wide functions.
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK);
// The program's entry: runs the application object.
int AfxWinMain(HINSTANCE hInstance, LPSTR lpCmdLine, int nCmdShow);
