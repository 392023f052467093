#include "CCmdTarget.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

BOOL CCmdTarget::ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return FALSE; }

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode) {
  LRESULT result = 0;
  return ProcessWindowMessage(nullptr, WM_COMMAND, MAKEWPARAM(nID, nCode), 0, result);
}
