// VelManUSBView.h - the USB download view: the work pane (0, 1) in USB mode, a form view on template 212 hosting the USB engine.
//
// It owns the status thread (from the initial update to its destruction), turns the USB
// state into message lines on timer 1, starts downloads with the Download button and
// shows them in three progress windows and the message list. The download worker and
// the end-of-data thread reach it from their own threads through IUsbDownloadView;
// everything they change goes by SendMessage to this window's thread, which therefore
// never waits for them. One download at a time: the job is busy from the Download
// command until this view has handled the worker's WM_USB_DOWNLOAD_DONE, and the
// command does nothing meanwhile. The timer also keeps the worker's device calls to
// their bound (CDeviceCallWatch). Its transport and thread host come from CUsbServices.
#pragma once

#include <string>

#include "CFile.h"
#include "CFormView.h"
#include "CListBox.h"
#include "CToolTipCtrl.h"
#include "DownloadJob.h"
#include "ProgressWnd.h"
#include "SkinButton.h"
#include "UsbDownloadView.h"
#include "UsbMessages.h"
#include "UsbStatusThread.h"
#include "resource.h"

class CVelManUSBView : public CFormView, public IUsbDownloadView {
  DECLARE_DYNCREATE(CVelManUSBView)

 public:
  static const DWORD kStatusStopMs = 5000;

  ~CVelManUSBView() override;

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL PreTranslateMessage(MSG* pMsg) override;
  void OnInitialUpdate() override;

  // IUsbDownloadView: called from the user-interface thread and from the USB threads.
  void AddMessage(const char* text) override;
  void SetBarPos(UsbProgressBar bar, int pos) override;
  void SetBarText(UsbProgressBar bar, const char* text) override;
  intptr_t SendViewMessage(unsigned int msg) override;
  void RunDownloadCommand() override { OnDownload(); }
  void ControlsToData() override { UpdateData(TRUE); }
  void DataToControls() override { UpdateData(FALSE); }

  // Read-only views for tests: what the view holds now.
  const std::string& FilePath() const { return m_strFilePath; }
  const std::string& FileName() const { return m_strFileName; }
  CListBox& Messages() { return m_listMessages; }
  CProgressWnd& Bar(UsbProgressBar bar);
  DownloadJob& Job() { return m_download; }
  CUsbStatusThread& StatusThread() { return m_status; }

  BEGIN_MSG_MAP(CVelManUSBView)
    COMMAND_ID(IDC_USB_DOWNLOAD, OnDownload)
    MSG_WM_CTLCOLOR(OnCtlColor)
    MSG_WM_TIMER(OnTimer)
    MSG_WM_PAINT(OnPaint)
    MSG_WM_ERASEBKGND(OnEraseBkgnd)
    MSG_WM_DESTROY(OnDestroy)
    COMMAND_ID(IDC_USB_FILE, OnSelectFile)
    MESSAGE_HANDLER(WM_USB_END_SENT, OnEndSent)
    MESSAGE_HANDLER(WM_USB_DATA_SENT, OnDataSent)
    MESSAGE_HANDLER(WM_USB_DOWNLOAD_DONE, OnDownloadDone)
    CHAIN_MSG_MAP(CFormView)
  END_MSG_MAP()

 protected:
  CVelManUSBView();

  void OnDownload();
  void OnSelectFile();
  HBRUSH OnCtlColor(CDC* pDC, HWND hCtl, UINT nCtlColor);
  void OnTimer(UINT_PTR nIDEvent);
  void OnPaint();
  // The paint covers the whole client area.
  BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  void OnDestroy();
  LRESULT OnEndSent(WPARAM, LPARAM) { return 0; }
  LRESULT OnDataSent(WPARAM, LPARAM);
  LRESULT OnDownloadDone(WPARAM, LPARAM);

  void SetBusy(BOOL bBusy);
  // Places the buttons and the list; attaches the buttons (bSubclass) and gives them their idle faces (bSkin).
  void LayoutControls(BOOL bSubclass, BOOL bSkin);
  // Shows the three progress windows at their places below the background's captions.
  void PlaceProgressWindows();

  CListBox m_listMessages;
  std::string m_strFilePath;
  CSkinButton m_btnDownload;  // 1037
  CSkinButton m_btnFile;      // 1049
  std::string m_strFileName;
  HBRUSH m_brBackground = nullptr;
  DownloadJob m_download;
  CUsbStatusThread m_status;
  CProgressWnd m_wndDownloadProgress;
  CProgressWnd m_wndEraseProgress;
  CProgressWnd m_wndWriteProgress;
  CToolTipCtrl m_toolTip;
  CFile m_file;
};
