// CCmdTarget.h - base of everything with a message table: windows, documents, templates and the application.
#pragma once

#include <windows.h>

#include "CObject.h"

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)

 public:
  // The class's message table (BEGIN_MSG_MAP ... END_MSG_MAP, see MessageMap.h): TRUE when
  // an entry handled the message, with the handler's result in lResult.
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult);

  // Offers a command (menu or accelerator id with its code) to this object's table.
  virtual BOOL OnCmdMsg(UINT nID, int nCode);
};
