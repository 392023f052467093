#include "VelManUSBView.h"

#include <commctrl.h>

#include "AppColors.h"
#include "CBitmap.h"
#include "CFileDialog.h"
#include "CPaintDC.h"
#include "CWinApp.h"
#include "DownloadWorker.h"
#include "MainFrame.h"
#include "SettingsStore.h"
#include "UsbServices.h"
#include "UsbState.h"
#include "UsbStatusTimer.h"
#include "UsbThreads.h"

IMPLEMENT_DYNCREATE(CVelManUSBView, CFormView)

namespace {

const char kFileFilter[] = "Image File(*.img)|*.img|All Files(*.*)|*.*|";

// The button face colour plus 0x1E1E1E as one 32-bit number: the faces' transparent colour.
COLORREF FaceTransparent() { return GetSysColor(COLOR_BTNFACE) + 0x1E1E1E; }

// Places at run time (left, top, width, height).
const RECT kDownloadPlace = {421, 191, 78, 26};
const RECT kFilePlace = {420, 44, 78, 26};
const RECT kMessagesPlace = {49, 240, 343, 55};
const int kBarLeft = 49;
const int kBarTop = 120;
const int kBarStep = 40;
const int kBarWidth = 343;
const int kBarHeight = 14;

void Place(HWND hCtl, const RECT& r) {
  if (hCtl) ::MoveWindow(hCtl, r.left, r.top, r.right, r.bottom, TRUE);
}

}  // namespace

CVelManUSBView::CVelManUSBView()
    : CFormView(IDD_USB_VIEW),
      m_download(CUsbServices::Transport(), CUsbServices::ThreadHost()),
      m_status(CUsbServices::Transport(), CUsbServices::ThreadHost()) {}

CVelManUSBView::~CVelManUSBView() {
  ReleaseDownloadWorker(m_download);
  // A new USB view may show "Waiting" or "Check Firmware Version" again.
  g_stateMessageShown = 0;
  if (m_brBackground) DeleteObject(m_brBackground);
}

void CVelManUSBView::DoDataExchange(CDataExchange* pDX) {
  CFormView::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_USB_MESSAGES, m_listMessages);
  DDX_Text(pDX, IDC_USB_PATH, m_strFilePath);
}

BOOL CVelManUSBView::PreTranslateMessage(MSG* pMsg) {
  if (pMsg && m_toolTip.m_hWnd) m_toolTip.RelayEvent(pMsg);
  return CFormView::PreTranslateMessage(pMsg);
}

void CVelManUSBView::OnInitialUpdate() {
  CFormView::OnInitialUpdate();
  if (!m_brBackground) m_brBackground = CreateSolidBrush(kBackgroundColor);

  struct Bar {
    CProgressWnd& wnd;
    const char* name;
  } bars[] = {{m_wndDownloadProgress, "DownloadProgressWnd"},
              {m_wndEraseProgress, "EraseProgressWnd"},
              {m_wndWriteProgress, "WriteProgressWnd"}};
  for (Bar& bar : bars) {
    if (bar.wnd.m_hWnd) continue;
    bar.wnd.m_nRange = 100;
    bar.wnd.m_crBackground = kBackgroundColor;
    bar.wnd.m_crBar = RGB(100, 100, 10);
    bar.wnd.m_crText = RGB(70, 70, 70);
    bar.wnd.CreateEx(WS_EX_STATICEDGE, nullptr, bar.name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0);
  }
  LayoutControls(TRUE, TRUE);
  PlaceProgressWindows();

  m_download.running = 0;
  SetTimer(kUsbStatusTimerId, kUsbStatusTimerMs);
  if (!m_status.IsRunning()) m_status.Start(this);

  if (!m_toolTip.m_hWnd) {
    m_toolTip.Create(this, TTS_ALWAYSTIP | TTS_NOPREFIX);
    m_toolTip.AddTool(&m_btnDownload, "Download");
    m_toolTip.AddTool(&m_btnFile, "File");
  }
}

void CVelManUSBView::LayoutControls(BOOL bSubclass, BOOL bSkin) {
  Place(GetDlgItem(m_hWnd, IDC_USB_DOWNLOAD), kDownloadPlace);
  Place(GetDlgItem(m_hWnd, IDC_USB_FILE), kFilePlace);
  Place(GetDlgItem(m_hWnd, IDC_USB_MESSAGES), kMessagesPlace);
  if (bSubclass) {
    if (!m_btnDownload.m_hWnd) m_btnDownload.SubclassDlgItem(IDC_USB_DOWNLOAD, this);
    if (!m_btnFile.m_hWnd) m_btnFile.SubclassDlgItem(IDC_USB_FILE, this);
  }
  if (!bSkin) return;
  const COLORREF transparent = FaceTransparent();
  m_btnDownload.SetBitmaps(IDB_USB_DOWNLOAD_HOVER, transparent, IDB_USB_DOWNLOAD, transparent);
  m_btnFile.SetBitmaps(IDB_USB_FILE_HOVER, transparent, IDB_USB_FILE, transparent);
  for (CSkinButton* button : {&m_btnDownload, &m_btnFile}) {
    button->SetFlat(TRUE);
    button->SetFlatFocus(FALSE, FALSE);
    button->SetDrawBorder(FALSE);
  }
}

void CVelManUSBView::PlaceProgressWindows() {
  CProgressWnd* bars[] = {&m_wndDownloadProgress, &m_wndEraseProgress, &m_wndWriteProgress};
  for (int i = 0; i < 3; ++i) {
    if (!bars[i]->m_hWnd) continue;
    bars[i]->ShowWindow(SW_SHOW);
    bars[i]->MoveWindow(kBarLeft, kBarTop + kBarStep * i, kBarWidth, kBarHeight, TRUE);
  }
}

void CVelManUSBView::OnSelectFile() {
  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kFileFilter, nullptr);
  if (dialog.DoModal() == IDOK) {
    m_strFilePath = dialog.GetPathName();
    UpdateData(FALSE);
  }
  // Also after a cancel: the line names what is selected now. Long names are shown in full.
  const size_t slash = m_strFilePath.find_last_of('\\');
  m_strFileName = slash == std::string::npos ? m_strFilePath : m_strFilePath.substr(slash + 1);
  AddMessage(("'" + m_strFileName + "' is selected").c_str());
}

void CVelManUSBView::OnDownload() {
  // A download holds the job: the command does nothing, as the disabled button does.
  if (m_download.busy == 1) return;
  // The folder is remembered before the file is even opened, so also for a failed open.
  CSettingsStore::WriteLastDir(m_strFilePath);
  const std::string path = m_strFilePath;
  if (!m_file.Open(path.c_str(), CFile::modeRead)) {
    AfxMessageBox(("Can't open " + path + " file!!!").c_str(), MB_OK);
    return;
  }
  g_usbState = USB_STATE_REQUESTED;
  const ULONGLONG length = m_file.GetLength();
  // An image of 4 GiB or more cannot be announced in the header's 32-bit size.
  const int started =
      length <= 0xFFFFFFFFull ? StartDownload(m_download, *this, path.c_str(), static_cast<uint32_t>(length)) : 0;
  m_file.Close();
  if (started == 1) {
    SetBusy(TRUE);
    if (!StartDownloadWorker(m_download)) {
      m_download.running = 0;
      EndDownloadJob(m_download);
      SetBusy(FALSE);
    }
  } else {
    AfxMessageBox(("Can't translate " + path + " !!!").c_str(), MB_OK);
  }
}

void CVelManUSBView::AddMessage(const char* text) {
  if (!m_listMessages.m_hWnd) return;
  const char* line = text ? text : "";
  m_listMessages.AddAndSelect(line);
  // Lines wider than the list (a long file name) can be scrolled to in full.
  m_listMessages.GrowHorizontalExtent(line);
}

CProgressWnd& CVelManUSBView::Bar(UsbProgressBar bar) {
  switch (bar) {
    case UsbProgressBar::kErase:
      return m_wndEraseProgress;
    case UsbProgressBar::kWrite:
      return m_wndWriteProgress;
    default:
      return m_wndDownloadProgress;
  }
}

void CVelManUSBView::SetBarPos(UsbProgressBar bar, int pos) { Bar(bar).SetPos(pos); }

void CVelManUSBView::SetBarText(UsbProgressBar bar, const char* text) {
  CProgressWnd& wnd = Bar(bar);
  if (wnd.m_hWnd) ::SetWindowTextA(wnd.m_hWnd, text ? text : "");
}

intptr_t CVelManUSBView::SendViewMessage(unsigned int msg) { return ::SendMessageA(m_hWnd, msg, 0, 0); }

LRESULT CVelManUSBView::OnDataSent(WPARAM, LPARAM) { return StartEndOfDataThread(m_download) ? 1 : 0; }

LRESULT CVelManUSBView::OnDownloadDone(WPARAM, LPARAM) {
  // The worker touches the job no more once this returns.
  EndDownloadJob(m_download);
  SetBusy(FALSE);
  return 0;
}

void CVelManUSBView::SetBusy(BOOL bBusy) {
  ::EnableWindow(m_btnDownload.m_hWnd, !bBusy);
  const COLORREF transparent = FaceTransparent();
  if (bBusy) {
    m_btnDownload.SetBitmaps(IDB_USB_DOWNLOAD_BUSY, transparent, IDB_USB_DOWNLOAD_BUSY, transparent);
  } else {
    m_btnDownload.SetBitmaps(IDB_USB_DOWNLOAD_HOVER, transparent, IDB_USB_DOWNLOAD, transparent);
    m_wndEraseProgress.SetPos(0);
    m_wndWriteProgress.SetPos(0);
    m_wndDownloadProgress.SetPos(0);
  }
  CFrameWnd* pFrame = GetParentFrame();
  if (pFrame && pFrame->IsKindOf(RUNTIME_CLASS(CMainFrame))) static_cast<CMainFrame*>(pFrame)->SetBusy(bBusy);
  UpdateWindow();
}

void CVelManUSBView::OnTimer(UINT_PTR nIDEvent) {
  if (nIDEvent == kUsbStatusTimerId) {
    UsbStatusTimerStep(*this, m_download);
    m_download.callWatch.Tick(m_download.transport, *this);
  }
  Default();
}

HBRUSH CVelManUSBView::OnCtlColor(CDC* pDC, HWND, UINT) {
  Default();
  pDC->SetBkMode(TRANSPARENT);
  pDC->SetBkColor(kBackgroundColor);
  pDC->SetTextColor(RGB(0, 0, 0));
  return m_brBackground;
}

void CVelManUSBView::OnPaint() {
  CPaintDC dc(this);
  const CRect client = GetClientRect();
  CDC mem;
  CBitmap background;
  if (!mem.CreateCompatibleDC(&dc) || !background.LoadBitmap(IDB_USB_VIEW)) return;
  HGDIOBJ oldBitmap = mem.SelectObject(background);
  dc.BitBlt(0, 0, client.Width(), client.Height(), &mem, 0, 0, SRCCOPY);
  mem.SelectObject(oldBitmap);
}

void CVelManUSBView::OnDestroy() {
  CFormView::OnDestroy();
  m_status.Stop(kStatusStopMs);
  KillTimer(kUsbStatusTimerId);
}
