// VelManView.h - the serial download view: the work pane (0, 1) in serial mode, a form view on template 101.
//
// It owns the library's facade (CVelManager) and follows its notifications: the port
// settings, the image file, a time-stamped message list, a progress bar and the elapsed /
// estimated time, Reset and Cancel. The library reports from its reader thread by
// SendMessage, so every handler runs on the user-interface thread, one at a time.
// Closing the view while the port is open stops the transfer first; what the library
// reports during that stop no longer turns the view or the frame busy or idle.
// A box silent for 120 s while busy (the library's timer 10) ends the transfer in words
// and arms the same file again.
// While busy, the reader waits in its SendMessage for every notification and sends the
// box's next header or block only after it: handlers then draw nothing that can wait (log
// lines go to the list once a block is on the line, see AddLog).
#pragma once

#include <string>
#include <vector>

#include "CBitmap.h"
#include "CFormView.h"
#include "CListBox.h"
#include "COleDateTime.h"
#include "CToolTipCtrl.h"
#include "ProgressWnd.h"
#include "SkinButton.h"
#include "UserMessages.h"
#include "VelManager.h"
#include "resource.h"

class CVelManView : public CFormView {
  DECLARE_DYNCREATE(CVelManView)

 public:
  // Timers on the view's window: the library's 120 s silence timer, and the cancel timeout.
  static const UINT_PTR kSilenceTimer = 10;
  static const UINT_PTR kCancelTimer = 11;
  // While busy, log lines reach the list with the next block sent, at the return to idle,
  // or this long after they came, whichever is first (see AddLog).
  static const UINT_PTR kLogTimer = 12;
  static const UINT kLogDelayMs = 100;
  // The time text's rectangle (left, top, right, bottom).
  static const RECT kTimeRect;
  // The log line when the box stayed silent for 120 s during a download.
  static const char* const kSilenceText;
  // How the library's lost-port line begins.
  static const char* const kLostPortStart;

  ~CVelManView() override;

  void OnInitialUpdate() override;
  BOOL PreTranslateMessage(MSG* pMsg) override;
  void DoDataExchange(CDataExchange* pDX) override;

  // Read-only views for tests and the outside: what the view holds now.
  const std::string& FilePath() const { return m_strFilePath; }
  const std::string& TimeText() const { return m_strTime; }
  DWORD TotalSize() const { return m_dwTotalSize; }
  BOOL IsBusy() const { return m_bBusy; }
  CVelManager& Manager() { return m_manager; }
  CProgressWnd& Progress() { return m_wndProgress; }

  BEGIN_MSG_MAP(CVelManView)
    MSG_WM_DESTROY(OnDestroy)
    COMMAND_ID(IDC_SELECT_FILE, OnSelectFile)
    COMMAND_ID(IDC_CONFIG_PORT, OnConfigPort)
    COMMAND_ID(IDC_RESET, OnReset)
    COMMAND_ID(IDC_CANCEL_TRANSFER, OnCancelTransfer)
    MESSAGE_HANDLER(WM_VELMAN_EVENT, OnManagerEvent)
    MESSAGE_HANDLER(WM_VELMAN_INPROCESS, OnManagerInProcess)
    MESSAGE_HANDLER(WM_SHOW_ABOUT, OnManagerAbout)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    MSG_WM_CTLCOLOR(OnCtlColor)
    CHAIN_MSG_MAP(CFormView)
  END_MSG_MAP()

 protected:
  CVelManView();

  void OnDestroy();
  void OnSelectFile();
  void OnConfigPort();
  void OnReset();
  void OnCancelTransfer();
  LRESULT OnManagerEvent(WPARAM wParam, LPARAM lParam);
  LRESULT OnManagerInProcess(WPARAM wParam, LPARAM lParam);
  LRESULT OnManagerAbout(WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR nIDEvent);
  void OnPaint();
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  HBRUSH OnCtlColor(CDC* pDC, HWND hCtl, UINT nCtlColor);

  // Places the controls; attaches the four skin buttons (bSubclass) and gives them their idle faces (bSkin).
  void LayoutControls(BOOL bSubclass, BOOL bSkin);
  void RefreshPortInfo();
  void ResetTimeDisplay();
  void UpdateTimeDisplay(const char* text);
  // Stores the time text and mirrors it into the view's window text.
  void SetTimeText(const std::string& text);
  // Stamps the line with the time now and adds it to the list, at once when idle.
  // hold: the line stays in view (see m_nHeldLine).
  void AddLog(const char* text, bool hold = false);
  void ReleaseHeldLine();
  // Appends the lines still waiting to the list, selects the last and paints the list.
  void FlushLog();
  void SetBusy(BOOL bBusy);
  // The library did not confirm a cancel in time: stop, log, re-arm the same file, beep.
  void CancelTimeout();
  // Stops the transfer, logs the line, returns to idle, arms the same file again and beeps.
  void StopAndRearm(const char* line);
  void ArmTransfer();

  CListBox m_listLog;
  std::vector<std::string> m_pendingLog;  // stamped lines not yet in the list
  // A line that says why a download ended stays selected and at the top of the list, whatever
  // follows it, until the box starts again or the person chooses a file or resets: its index in
  // the list, and in m_pendingLog while it waits there.
  static const int kHoldNone = -1;
  int m_nHeldLine = kHoldNone;
  int m_nHeldPending = kHoldNone;
  unsigned long m_dwBaudRate = 0;
  int m_nDataBits = 8;
  int m_nPort = 0;
  std::string m_strFlowControl = "none";
  std::string m_strParity = "none";
  std::string m_strFilePath;
  CVelManager m_manager;
  volatile int m_nCancel = 0;
  DWORD m_dwTotalSize = 0;
  static const uint32_t kNothingShown = 0xFFFFFFFFu;
  static const uint32_t kDataHeaderSize = 64;  // what the library sends for a section's header
  uint32_t m_dwShownSent = kNothingShown;  // the progress the bar and the time text show
  BOOL m_bBusy = FALSE;     // between the library's in-process 1 and the return to idle
  bool m_bClosing = false;  // the window is being destroyed
  CSkinButton m_btnConfig;  // 1026
  CSkinButton m_btnFile;    // 1020
  CSkinButton m_btnReset;   // 1033
  CSkinButton m_btnCancel;  // 1035
  CProgressWnd m_wndProgress;
  std::string m_strTime;
  COleDateTime m_tStart;
  HBRUSH m_brBackground = nullptr;
  CToolTipCtrl m_toolTip;
  // Bitmap 218, loaded once: reloading it for every paint held up the download.
  CBitmap m_bmBackground;
};
