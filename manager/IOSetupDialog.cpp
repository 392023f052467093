#include "IOSetupDialog.h"

#include <cstdio>

namespace {
const int kBaudRates[] = {9600, 19200, 38400, 57600, 115200};
}

int CIOSetupDialog::s_nPortSelection = 1;
int CIOSetupDialog::s_nBaudSelection = 9600;

CIOSetupDialog::CIOSetupDialog(HINSTANCE instance, HWND owner) : CSNDialog(kTemplate, instance, owner) {}

LRESULT CIOSetupDialog::OnInitDialog(HWND, LPARAM) {
  HWND ports = GetDlgItem(m_hWnd, kPortList);
  HWND bauds = GetDlgItem(m_hWnd, kBaudList);
  if (!ports || !bauds) return 0;
  for (int n = 1; n <= 32; ++n) {
    char text[16];
    std::snprintf(text, sizeof text, "COM%d", n);
    SendMessageA(ports, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  // A port above 32 (or below 1) leaves the list without a selection.
  SendMessageA(ports, CB_SETCURSEL, s_nPortSelection >= 1 && s_nPortSelection <= 32 ? s_nPortSelection - 1 : -1, 0);
  int selected = -1;
  for (int i = 0; i < 5; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", kBaudRates[i]);
    SendMessageA(bauds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (kBaudRates[i] == s_nBaudSelection) selected = i;
  }
  SendMessageA(bauds, CB_SETCURSEL, selected, 0);
  return 1;
}

LRESULT CIOSetupDialog::OnCommand(UINT id, UINT code, HWND control) {
  if (code == CBN_SELCHANGE) {
    const int index = static_cast<int>(SendMessageA(control, CB_GETCURSEL, 0, 0));
    if (id == kPortList && index >= 0) s_nPortSelection = index + 1;
    if (id == kBaudList && index >= 0 && index <= 4) s_nBaudSelection = kBaudRates[index];
  }
  return CSNDialog::OnCommand(id, code, control);
}

void CIOSetupDialog::OnOK() {
  m_nPort = s_nPortSelection;
  m_nBaudRate = s_nBaudSelection;
  EndDialog(m_hWnd, IDOK);
}
