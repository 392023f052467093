// CToolTipCtrl.h - a tooltip control: tools by window or by rectangle, messages relayed by the owner.
//
// The owner relays the mouse messages of its window and of its children from its
// PreTranslateMessage (RelayEvent); the control is not subclassed into the tools.
#pragma once

#include "CWnd.h"

class CToolTipCtrl : public CWnd {
  DECLARE_DYNAMIC(CToolTipCtrl)

 public:
  CToolTipCtrl() = default;

  // A topmost pop-up tooltip window owned by pParentWnd; dwStyle takes TTS_ bits.
  BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
  // TTM_SETDELAYTIME: dwDuration is TTDT_AUTOMATIC, TTDT_INITIAL, ...
  void SetDelayTime(DWORD dwDuration, int iTime);
  // A tool covering the whole of pWnd (nIDTool 0, the window is the tool) or, with a
  // rectangle, that rectangle of pWnd's client area under id nIDTool.
  BOOL AddTool(CWnd* pWnd, LPCSTR lpszText, const RECT* lpRectTool = nullptr, UINT_PTR nIDTool = 0);
  // Hands a message of a tool window to the control (TTM_RELAYEVENT).
  void RelayEvent(MSG* pMsg);
  // Number of tools.
  int GetToolCount() const;
};
