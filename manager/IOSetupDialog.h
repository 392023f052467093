// IOSetupDialog.h - the I/O Setup dialog: COM port (COM1 to COM32) and download baud rate.
#pragma once

#include "SNDialog.h"

class CIOSetupDialog : public CSNDialog {
 public:
  static constexpr WORD kTemplate = 103;
  static constexpr int kPortList = 1001;
  static constexpr int kBaudList = 1000;

  CIOSetupDialog(HINSTANCE instance, HWND owner);

  LRESULT OnInitDialog(HWND focus, LPARAM param) override;
  LRESULT OnCommand(UINT id, UINT code, HWND control) override;
  void OnOK() override;

  // The selection shared with the manager, which sets it before each run.
  static int s_nPortSelection;
  static int s_nBaudSelection;

  // Results, taken by the manager when the dialog ends with OK.
  int m_nPort = 1;
  int m_nBaudRate = 9600;
};
