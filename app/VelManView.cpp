#include "VelManView.h"

#include <commctrl.h>

#include <cstring>

#include "AppColors.h"
#include "CBitmap.h"
#include "CFileDialog.h"
#include "CPaintDC.h"
#include "CWinApp.h"
#include "MainFrame.h"
#include "SettingsStore.h"
#include "TransferTimeText.h"

IMPLEMENT_DYNCREATE(CVelManView, CFormView)

const RECT CVelManView::kTimeRect = {122, 190, 398, 208};
const char* const CVelManView::kLostPortStart = "Lost COM";
const char* const CVelManView::kSilenceText =
    "No data from STB for 120 s: download stopped. Check the cable and the STB's power, then restart the STB.";

namespace {

// Tooltips of the three skin buttons, in button order (1026, 1020, 1033).
const char* const kButtonTips[3] = {"Configure COM Port.", "Select a binary-file to update the firmware of STB.",
                                    "Reset this application."};
const char kFileFilter[] = "Image Files(*.img)|*.img|Binary Files(*.bin)|*.bin|All Files(*.*)|*.*|";
const DWORD kCancelWaitMs = 1000;

// The elapsed seconds (mod 60) last drawn, shared by every serial view of the program.
int g_lastDrawnSecond = -1;

// The button face colour plus 0x1E1E1E as one 32-bit number: the faces' transparent colour.
COLORREF FaceTransparent() { return GetSysColor(COLOR_BTNFACE) + 0x1E1E1E; }

struct Placement {
  int id;
  RECT rect;  // left, top, width, height
};
const Placement kPlacements[] = {
    {IDC_PORT, {125, 44, 84, 14}},         {IDC_BAUDRATE, {125, 69, 84, 14}},
    {IDC_DATABITS, {308, 44, 84, 14}},     {IDC_PARITY, {308, 69, 84, 14}},
    {IDC_FLOWCONTROL, {308, 95, 84, 14}},  {IDC_FILEPATH, {42, 143, 350, 14}},
    {IDC_LOG, {49, 258, 350, 41}},         {IDC_CONFIG_PORT, {420, 64, 78, 26}},
    {IDC_SELECT_FILE, {420, 138, 78, 26}}, {IDC_RESET, {420, 257, 78, 26}},
    {IDC_CANCEL_TRANSFER, {420, 257, 78, 26}},
};
const RECT kProgressPlace = {49, 212, 350, 14};

}  // namespace

CVelManView::CVelManView() : CFormView(IDD_VELMAN_VIEW) {}

CVelManView::~CVelManView() {
  if (m_brBackground) DeleteObject(m_brBackground);
}

void CVelManView::DoDataExchange(CDataExchange* pDX) {
  CFormView::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LOG, m_listLog);
  DDX_Text(pDX, IDC_BAUDRATE, m_dwBaudRate);
  DDX_Text(pDX, IDC_DATABITS, m_nDataBits);
  DDX_Text(pDX, IDC_PORT, m_nPort);
  DDX_Text(pDX, IDC_FLOWCONTROL, m_strFlowControl);
  DDX_Text(pDX, IDC_PARITY, m_strParity);
  DDX_Text(pDX, IDC_FILEPATH, m_strFilePath);
}

void CVelManView::OnInitialUpdate() {
  CFormView::OnInitialUpdate();
  if (CFrameWnd* pFrame = GetParentFrame()) pFrame->RecalcLayout();
  if (!m_brBackground) m_brBackground = CreateSolidBrush(kBackgroundColor);
  m_manager.SetParentInfo(m_hWnd, WM_VELMAN_EVENT, WM_VELMAN_INPROCESS, &m_nCancel);

  if (!m_wndProgress.m_hWnd) {
    m_wndProgress.m_nRange = 100;
    m_wndProgress.m_crBackground = kBackgroundColor;
    m_wndProgress.m_crBar = RGB(100, 100, 10);
    m_wndProgress.m_crText = RGB(70, 70, 70);
    m_wndProgress.CreateEx(WS_EX_STATICEDGE, nullptr, "SNProgressWnd", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0),
                           this, 0);
  }
  LayoutControls(TRUE, TRUE);
  RefreshPortInfo();
  ResetTimeDisplay();

  if (!m_toolTip.m_hWnd) {
    m_toolTip.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX);
    CSkinButton* buttons[3] = {&m_btnConfig, &m_btnFile, &m_btnReset};
    for (int i = 0; i < 3; ++i) m_toolTip.AddTool(buttons[i], kButtonTips[i]);
    m_toolTip.AddTool(&m_btnCancel, "Cancel");
  }
}

BOOL CVelManView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg && m_toolTip.m_hWnd) m_toolTip.RelayEvent(pMsg);
  return CFormView::PreTranslateMessage(pMsg);
}

void CVelManView::LayoutControls(BOOL bSubclass, BOOL bSkin) {
  for (const Placement& p : kPlacements)
    if (HWND hCtl = GetDlgItem(m_hWnd, p.id)) ::MoveWindow(hCtl, p.rect.left, p.rect.top, p.rect.right, p.rect.bottom, TRUE);
  if (m_wndProgress.m_hWnd)
    m_wndProgress.MoveWindow(kProgressPlace.left, kProgressPlace.top, kProgressPlace.right, kProgressPlace.bottom);

  struct Skin {
    CSkinButton& button;
    int id;
    WORD hover;
    WORD normal;
  } skins[] = {{m_btnConfig, IDC_CONFIG_PORT, IDB_PORT_HOVER, IDB_PORT},
               {m_btnFile, IDC_SELECT_FILE, IDB_FILE_HOVER, IDB_FILE},
               {m_btnReset, IDC_RESET, IDB_RESET_HOVER, IDB_RESET},
               {m_btnCancel, IDC_CANCEL_TRANSFER, IDB_CANCEL_HOVER, IDB_CANCEL}};
  const COLORREF transparent = FaceTransparent();
  for (Skin& skin : skins) {
    if (bSubclass && !skin.button.m_hWnd) skin.button.SubclassDlgItem(skin.id, this);
    if (!bSkin) continue;
    skin.button.SetBitmaps(skin.hover, transparent, skin.normal, transparent);
    skin.button.SetFlat(TRUE);
    skin.button.SetFlatFocus(FALSE, FALSE);
    skin.button.SetDrawBorder(FALSE);
  }
}

void CVelManView::RefreshPortInfo() {
  unsigned short port = 0;
  unsigned long baud = 0;
  m_manager.GetComportInfo(&port, &baud);
  m_nPort = port;
  m_dwBaudRate = baud;
  m_nDataBits = 8;
  m_strParity = "none";
  m_strFlowControl = "none";
  UpdateData(FALSE);
}

void CVelManView::ArmTransfer() {
  m_nCancel = 0;
  m_manager.ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, m_strFilePath.c_str());
}

void CVelManView::OnSelectFile() {
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFileFilter, nullptr);
  if (dialog.DoModal() != IDOK) return;
  m_strFilePath = dialog.GetPathName();
  ReleaseHeldLine();
  UpdateData(FALSE);
  CSettingsStore::WriteLastFile(m_strFilePath);
  ArmTransfer();
}

void CVelManView::OnConfigPort() {
  m_manager.DoIOConfig();
  RefreshPortInfo();
}

void CVelManView::OnReset() {
  m_pendingLog.clear();
  ReleaseHeldLine();
  KillTimer(kLogTimer);
  m_listLog.ResetContent();
  m_manager.StopTransfer();
  SetBusy(FALSE);
  m_strFilePath.clear();
  ResetTimeDisplay();
  UpdateData(FALSE);
}

void CVelManView::OnCancelTransfer() {
  // A confirmation the library gave after an earlier Cancel had stopped waiting may still
  // be in the event: only one given from now on confirms this Cancel.
  ResetEvent(m_manager.m_hCancelEvent);
  m_nCancel = 1;
  // The library honours the cancel with the box's next byte and then signals its event.
  const DWORD result = WaitForSingleObject(m_manager.m_hCancelEvent, kCancelWaitMs);
  if (result == WAIT_OBJECT_0) {
    ResetEvent(m_manager.m_hCancelEvent);
    ResetTimeDisplay();
  } else if (result == WAIT_TIMEOUT) {
    CancelTimeout();
  }
  SetBusy(FALSE);
  m_nCancel = 0;
}

void CVelManView::CancelTimeout() { StopAndRearm("Canceled!!!"); }

void CVelManView::StopAndRearm(const char* line) {
  m_manager.StopTransfer();
  // The reader has ended: a confirmation it gave while being stopped confirms nothing.
  ResetEvent(m_manager.m_hCancelEvent);
  // The re-arm's lines follow at once: this line stays in view until the box starts again.
  AddLog(line, true);
  SetBusy(FALSE);
  KillTimer(kSilenceTimer);
  KillTimer(kCancelTimer);
  if (!m_strFilePath.empty()) ArmTransfer();  // reopens the port for the same file
  MessageBeep(MB_ICONEXCLAMATION);
}

void CVelManView::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kSilenceTimer && m_bBusy)
    StopAndRearm(kSilenceText);  // the library restarts the timer after every byte of the box
  else if (nIDEvent == kSilenceTimer)
    KillTimer(kSilenceTimer);
  else if (nIDEvent == kCancelTimer)
    CancelTimeout();
  else if (nIDEvent == kLogTimer)
    FlushLog();
  else
    Default();
}

LRESULT CVelManView::OnManagerEvent(WPARAM wParam, LPARAM lParam) {
  const char* text = reinterpret_cast<const char*>(wParam);
  const char* shown = text ? text : "";
  std::string line;
  switch (lParam) {
    case 0:
      AddLog(("N: " + std::string(shown)).c_str());
      break;
    case 1:
      // The library's own lines follow a lost port's words at once and would push them out of
      // the small list: the words stay in view.
      AddLog(("E: " + std::string(shown)).c_str(),
             std::strncmp(shown, kLostPortStart, std::strlen(kLostPortStart)) == 0);
      break;
    case 3:
      if (m_dwTotalSize != 0) UpdateTimeDisplay(text);
      break;
    case 4:
      m_dwTotalSize = CTransferTimeText::ParseEventNumber(text);
      m_dwShownSent = kNothingShown;
      m_tStart = COleDateTime::GetCurrentTime();
      break;
    case 5:
      m_strFilePath.clear();
      m_manager.StopTransfer();
      break;
    default:
      AddLog(("U: " + std::string(shown)).c_str());
      break;
  }
  // Only the completion changes a member a control shows (the path): after the other kinds
  // the transfer would set nothing, and reading six controls back is time the library's
  // reader waits for before it answers the box.
  if (lParam == 5) UpdateData(FALSE);
  return 0;
}

LRESULT CVelManView::OnManagerInProcess(WPARAM wParam, LPARAM) {
  // While the window goes, the frame stays as the view found it: a READY answered during
  // the closing stop would otherwise lock the frame with nothing left to unlock it.
  if (m_bClosing) return 0;
  if (wParam == 1) {
    m_nCancel = 0;
    ReleaseHeldLine();
    SetBusy(TRUE);
  } else {
    SetBusy(FALSE);
  }
  return 0;
}

LRESULT CVelManView::OnManagerAbout(WPARAM, LPARAM) {
  VELMAN_AboutBox(m_hWnd);
  return 0;
}

void CVelManView::ReleaseHeldLine() { m_nHeldLine = m_nHeldPending = kHoldNone; }

void CVelManView::AddLog(const char* text, bool hold) {
  const std::string stamp = COleDateTime::GetCurrentTime().Format("%H:%M.%S");
  m_pendingLog.push_back(std::string(text) + " [" + stamp + "]");
  if (hold) m_nHeldPending = static_cast<int>(m_pendingLog.size()) - 1;
  // Adding a line repaints the list and its scroll bars at once, many milliseconds under a
  // busy window system, and the library's reader waits for this thread meanwhile instead of
  // answering the box. So while a download runs a line waits for the next block to be on
  // the line (UpdateTimeDisplay), for the return to idle (SetBusy), or at most kLogDelayMs.
  if (!m_bBusy) {
    FlushLog();
  } else if (m_pendingLog.size() == 1 && m_hWnd) {
    SetTimer(kLogTimer, kLogDelayMs);
  }
}

void CVelManView::FlushLog() {
  if (m_pendingLog.empty()) return;
  if (m_hWnd) KillTimer(kLogTimer);
  if (!m_listLog.m_hWnd) {
    m_pendingLog.clear();
    m_nHeldPending = kHoldNone;
    return;
  }
  // One repaint of the list (and its scroll bars) for all the lines, not one per line.
  const bool several = m_pendingLog.size() > 1;
  if (several) m_listLog.SetRedraw(FALSE);
  for (size_t i = 0; i < m_pendingLog.size(); ++i) {
    const char* line = m_pendingLog[i].c_str();
    const int index = i + 1 < m_pendingLog.size() ? m_listLog.AddString(line) : m_listLog.AddAndSelect(line);
    m_listLog.GrowHorizontalExtent(line);
    if (static_cast<int>(i) == m_nHeldPending) m_nHeldLine = index;
  }
  m_pendingLog.clear();
  m_nHeldPending = kHoldNone;
  if (m_nHeldLine >= 0) {
    m_listLog.SetCurSel(m_nHeldLine);
    m_listLog.SetTopIndex(m_nHeldLine);
  }
  if (several) {
    m_listLog.SetRedraw(TRUE);
    m_listLog.RedrawWindow(nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
  }
  // Painted now (while the box takes a block), not later in the reader's wait.
  m_listLog.UpdateWindow();
}

void CVelManView::UpdateTimeDisplay(const char* text) {
  const uint32_t sent = CTransferTimeText::ParseEventNumber(text);
  // The library's reader waits for this answer before it goes on, and the box waits for
  // the reader: a byte that moved nothing on (the first of the two-byte block request), or
  // only a section's 64-byte header, redraws nothing; the box would be kept waiting for its
  // header or block. The next block's event, a few milliseconds later, shows it all.
  const bool shown = m_dwShownSent != kNothingShown;
  if (shown && sent >= m_dwShownSent && sent - m_dwShownSent <= kDataHeaderSize) return;
  // A block is on the line, and the box asks for nothing before it has taken it: time
  // enough to show the lines that waited.
  const bool blockSent = shown && sent > m_dwShownSent;
  m_dwShownSent = sent;
  if (blockSent) FlushLog();
  const COleDateTimeSpan span = COleDateTime::GetCurrentTime() - m_tStart;
  const CTransferTimeText::Update update = CTransferTimeText::Compute(sent, m_dwTotalSize, span.GetTotalDays());
  // Every byte of the box brings a progress event; the bar is repainted only when it moves.
  if (update.percent != m_wndProgress.m_nPos) m_wndProgress.SetPos(update.percent);
  if (update.elapsed != 0) {
    SetTimeText(update.text);
    if (update.elapsed % 60 != g_lastDrawnSecond) {
      g_lastDrawnSecond = update.elapsed % 60;
      InvalidateRect(&kTimeRect, TRUE);
    }
  }
  // Painted now, once: left to the reader's UpdateWindow, the bar was painted a second time
  // by this thread's own loop, racing it.
  UpdateWindow();
}

void CVelManView::ResetTimeDisplay() {
  m_dwShownSent = kNothingShown;
  m_wndProgress.SetPos(0);
  SetTimeText(CTransferTimeText::kResetText);
  m_dwTotalSize = 0;
  InvalidateRect(&kTimeRect, TRUE);
}

void CVelManView::SetTimeText(const std::string& text) {
  if (text == m_strTime) return;
  m_strTime = text;
  // The view's own window text carries the time text too: it is drawn, not a control, and
  // this is how a tester or an accessibility tool outside the program can read it.
  if (m_hWnd) ::SetWindowTextA(m_hWnd, m_strTime.c_str());
}

void CVelManView::SetBusy(BOOL bBusy) {
  FlushLog();
  m_bBusy = bBusy;
  for (int id : {IDC_CONFIG_PORT, IDC_SELECT_FILE, IDC_RESET, IDC_LOG})
    if (HWND hCtl = GetDlgItem(m_hWnd, id)) EnableWindow(hCtl, !bBusy);
  const COLORREF transparent = FaceTransparent();
  if (bBusy) {
    m_btnConfig.SetBitmaps(IDB_PORT_BUSY, transparent, IDB_PORT_BUSY, transparent);
    m_btnFile.SetBitmaps(IDB_FILE_BUSY, transparent, IDB_FILE_BUSY, transparent);
    m_btnReset.ShowWindow(SW_HIDE);
    m_btnCancel.ShowWindow(SW_SHOW);
  } else {
    m_btnConfig.SetBitmaps(IDB_PORT_HOVER, transparent, IDB_PORT, transparent);
    m_btnFile.SetBitmaps(IDB_FILE_HOVER, transparent, IDB_FILE, transparent);
    m_btnReset.ShowWindow(SW_SHOW);
    m_btnCancel.ShowWindow(SW_HIDE);
    KillTimer(kSilenceTimer);
    ResetTimeDisplay();
  }
  CFrameWnd* pFrame = GetParentFrame();
  if (pFrame && pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame))) static_cast<CMainFrame*>(pFrame)->SetBusy(bBusy);
  UpdateWindow();
}

HBRUSH CVelManView::OnCtlColor(CDC* pDC, HWND, UINT) {
  Default();
  pDC->SetBkMode(TRANSPARENT);
  pDC->SetBkColor(kBackgroundColor);
  pDC->SetTextColor(RGB(0, 0, 0));
  return m_brBackground;
}

void CVelManView::OnPaint() {
  CPaintDC dc(this);
  const CRect client = GetClientRect();
  CDC mem;
  if (!m_bmBackground.m_hBitmap) m_bmBackground.LoadBitmap(IDB_SERIAL_VIEW);
  CBitmap canvas;
  if (!mem.CreateCompatibleDC(&dc) || !m_bmBackground.m_hBitmap ||
      !canvas.CreateCompatibleBitmap(dc.m_hDC, client.Width(), client.Height()))
    return;
  HGDIOBJ oldBitmap = mem.SelectObject(canvas);
  mem.DrawBitmap(m_bmBackground, 0, 0, client.Width(), client.Height());
  // The form's own font, so the time text reads like the rest of the view.
  HGDIOBJ oldFont = mem.SelectObject(reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
  mem.SetTextColor(RGB(0, 0, 0));
  mem.SetBkMode(TRANSPARENT);
  RECT timeRect = kTimeRect;
  mem.DrawText(m_strTime.c_str(), &timeRect, DT_SINGLELINE | DT_VCENTER);
  // Only what needs painting goes to the screen: during a download that is the time text's
  // rectangle, once a second, and a whole-view copy would hold up the box's next block.
  const RECT& dirty = dc.m_ps.rcPaint;
  CRect copy;
  if (!IntersectRect(&copy, &dirty, &client)) copy = client;
  dc.BitBlt(copy.left, copy.top, copy.Width(), copy.Height(), &mem, copy.left, copy.top, SRCCOPY);
  if (oldFont) mem.SelectObject(oldFont);
  mem.SelectObject(oldBitmap);
}

void CVelManView::OnDestroy() {
  m_bClosing = true;
  CFormView::OnDestroy();
  if (m_manager.IsConnectedComport()) m_manager.StopTransfer();
}
