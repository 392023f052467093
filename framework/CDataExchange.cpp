#include "CDataExchange.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "CWnd.h"

namespace {

std::string ControlText(HWND hCtl) {
  std::vector<char> buf(static_cast<size_t>(GetWindowTextLengthA(hCtl)) + 1);
  const int n = GetWindowTextA(hCtl, buf.data(), static_cast<int>(buf.size()));
  return std::string(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

// Sets a control's text only when it differs: an unchanged text is not set again, so the
// control is neither invalidated nor repainted (a form that shows its members after every
// event of a transfer would otherwise repaint all its edits each time).
void SetControlText(HWND hCtl, const std::string& text) {
  if (ControlText(hCtl) != text) SetWindowTextA(hCtl, text.c_str());
}

// Parses a whole decimal number (blanks around it allowed); false when the text is not one.
bool ParseNumber(const std::string& text, bool allowNegative, long long& out) {
  const char* p = text.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (!allowNegative && *p == '-') return false;
  char* end = nullptr;
  errno = 0;
  const long long v = strtoll(p, &end, 10);
  if (end == p || errno == ERANGE) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  out = v;
  return true;
}

template <typename T>
void ExchangeNumber(CDataExchange* pDX, int nIDC, T& value, long long lo, long long hi) {
  HWND hCtl = pDX->PrepareCtrl(nIDC);
  if (!hCtl) return;
  if (!pDX->m_bSaveAndValidate) {
    SetControlText(hCtl, std::to_string(value));
    return;
  }
  long long v = 0;
  if (!ParseNumber(ControlText(hCtl), lo < 0, v) || v < lo || v > hi) {
    pDX->Fail(hCtl);
    return;
  }
  value = static_cast<T>(v);
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int nIDC) {
  if (m_bFailed) return nullptr;
  HWND hCtl = GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
  if (!hCtl) m_bFailed = TRUE;
  return hCtl;
}

void CDataExchange::Fail(HWND hCtl) {
  m_bFailed = TRUE;
  MessageBeep(MB_ICONEXCLAMATION);
  if (hCtl) SetFocus(hCtl);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
  if (rControl.m_hWnd) return;
  HWND hCtl = pDX->PrepareCtrl(nIDC);
  if (hCtl && !rControl.SubclassWindow(hCtl)) pDX->m_bFailed = TRUE;
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
  HWND hCtl = pDX->PrepareCtrl(nIDC);
  if (!hCtl) return;
  if (pDX->m_bSaveAndValidate)
    value = ControlText(hCtl);
  else
    SetControlText(hCtl, value);
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) { ExchangeNumber(pDX, nIDC, value, INT_MIN, INT_MAX); }

void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value) {
  ExchangeNumber(pDX, nIDC, value, 0, ULONG_MAX);
}
