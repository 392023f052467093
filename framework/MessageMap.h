// MessageMap.h - per-class message tables: BEGIN_MSG_MAP ... END_MSG_MAP expanding to a plain function of ifs.
//
//   BEGIN_MSG_MAP(CMyView)
//     MSG_WM_SIZE(OnSize)
//     COMMAND_ID(ID_APP_ABOUT, OnAbout)
//     CHAIN_MSG_MAP(CView)
//   END_MSG_MAP()
//
// The table is the class's ProcessWindowMessage override. It returns TRUE when an entry
// handled the message; a message nobody handles gets the window's default processing.
// Entries are tried in order, so a class lists its own entries before chaining to its base.
// Handlers keep their natural signatures; a handler that wants the default processing too
// calls CWnd::Default().
//
// Reflected messages (the rule is written out in framework/README.md): a parent offers
// WM_COMMAND and WM_DRAWITEM from a child control to that control's own table first, as
// OCM_* (the message plus OCM__BASE); the parent's table sees the message when the control
// does not handle it or declines (REFLECTED_COMMAND_CODE_DECLINE with FALSE). WM_CTLCOLOR*
// goes to the parent's table first; the control answers as part of the parent's default
// processing (Default() in the parent's handler, or no handler at all).
#pragma once

#include <windows.h>

#include "CDC.h"
#include "CPoint.h"

// Signed client coordinates of mouse messages (windowsx.h is not used: it defines macros
// such as SubclassWindow that clash with member names).
#define MSG_X_LPARAM_(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define MSG_Y_LPARAM_(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))

#ifndef OCM__BASE
#define OCM__BASE (WM_USER + 0x1C00)
#endif
#define OCM_COMMAND (OCM__BASE + WM_COMMAND)
#define OCM_DRAWITEM (OCM__BASE + WM_DRAWITEM)
#define OCM_CTLCOLORMSGBOX (OCM__BASE + WM_CTLCOLORMSGBOX)
#define OCM_CTLCOLOREDIT (OCM__BASE + WM_CTLCOLOREDIT)
#define OCM_CTLCOLORLISTBOX (OCM__BASE + WM_CTLCOLORLISTBOX)
#define OCM_CTLCOLORBTN (OCM__BASE + WM_CTLCOLORBTN)
#define OCM_CTLCOLORDLG (OCM__BASE + WM_CTLCOLORDLG)
#define OCM_CTLCOLORSCROLLBAR (OCM__BASE + WM_CTLCOLORSCROLLBAR)
#define OCM_CTLCOLORSTATIC (OCM__BASE + WM_CTLCOLORSTATIC)

#define BEGIN_MSG_MAP(theClass)                                                                             \
 public:                                                                                                    \
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override { \
    (void)hWnd;                                                                                             \
    (void)wParam;                                                                                           \
    (void)lParam;                                                                                           \
    (void)lResult;

#define CHAIN_MSG_MAP(theBase) \
  if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult)) return TRUE;

#define END_MSG_MAP() \
  return FALSE;       \
  }

// LRESULT func(WPARAM wParam, LPARAM lParam): any message, user messages in particular.
#define MESSAGE_HANDLER(msg, func)     \
  if (uMsg == (msg)) {                 \
    lResult = func(wParam, lParam);    \
    return TRUE;                       \
  }

// int OnCreate(LPCREATESTRUCTA lpcs): 0 to go on, -1 to fail the creation.
#define MSG_WM_CREATE(func)                                                    \
  if (uMsg == WM_CREATE) {                                                     \
    lResult = static_cast<LRESULT>(func(reinterpret_cast<LPCREATESTRUCTA>(lParam))); \
    return TRUE;                                                               \
  }

// void OnDestroy()
#define MSG_WM_DESTROY(func) \
  if (uMsg == WM_DESTROY) {  \
    func();                  \
    lResult = 0;             \
    return TRUE;             \
  }

// void OnClose()
#define MSG_WM_CLOSE(func) \
  if (uMsg == WM_CLOSE) {  \
    func();                \
    lResult = 0;           \
    return TRUE;           \
  }

// void OnSize(UINT nType, int cx, int cy)
#define MSG_WM_SIZE(func)                                                     \
  if (uMsg == WM_SIZE) {                                                      \
    func(static_cast<UINT>(wParam), MSG_X_LPARAM_(lParam), MSG_Y_LPARAM_(lParam)); \
    lResult = 0;                                                              \
    return TRUE;                                                              \
  }

// void OnMoving(UINT fwSide, LPRECT pRect)
#define MSG_WM_MOVING(func)                                              \
  if (uMsg == WM_MOVING) {                                               \
    func(static_cast<UINT>(wParam), reinterpret_cast<LPRECT>(lParam));   \
    lResult = TRUE;                                                      \
    return TRUE;                                                         \
  }

// void OnTimer(UINT_PTR nIDEvent)
#define MSG_WM_TIMER(func)                   \
  if (uMsg == WM_TIMER) {                    \
    func(static_cast<UINT_PTR>(wParam));     \
    lResult = 0;                             \
    return TRUE;                             \
  }

// void OnPaint()
#define MSG_WM_PAINT(func) \
  if (uMsg == WM_PAINT) {  \
    func();                \
    lResult = 0;           \
    return TRUE;           \
  }

// BOOL OnEraseBkgnd(CDC* pDC): TRUE when the background counts as erased.
#define MSG_WM_ERASEBKGND(func)                             \
  if (uMsg == WM_ERASEBKGND) {                              \
    CDC dc_(reinterpret_cast<HDC>(wParam));                 \
    lResult = static_cast<LRESULT>(func(&dc_));             \
    return TRUE;                                            \
  }

// void OnKillFocus(HWND hWndNew)
#define MSG_WM_KILLFOCUS(func)                 \
  if (uMsg == WM_KILLFOCUS) {                  \
    func(reinterpret_cast<HWND>(wParam));      \
    lResult = 0;                               \
    return TRUE;                               \
  }

// void OnActivate(UINT nState, HWND hWndOther, BOOL bMinimized)
#define MSG_WM_ACTIVATE(func)                                                              \
  if (uMsg == WM_ACTIVATE) {                                                               \
    func(LOWORD(wParam), reinterpret_cast<HWND>(lParam), HIWORD(wParam) != 0);             \
    lResult = 0;                                                                           \
    return TRUE;                                                                           \
  }

// void OnEnable(BOOL bEnable)
#define MSG_WM_ENABLE(func)               \
  if (uMsg == WM_ENABLE) {                \
    func(static_cast<BOOL>(wParam));      \
    lResult = 0;                          \
    return TRUE;                          \
  }

// void OnCancelMode()
#define MSG_WM_CANCELMODE(func) \
  if (uMsg == WM_CANCELMODE) {  \
    func();                     \
    lResult = 0;                \
    return TRUE;                \
  }

// void OnCaptureChanged(HWND hWndNew)
#define MSG_WM_CAPTURECHANGED(func)             \
  if (uMsg == WM_CAPTURECHANGED) {              \
    func(reinterpret_cast<HWND>(lParam));       \
    lResult = 0;                                \
    return TRUE;                                \
  }

// void OnSetFocus(HWND hWndOld)
#define MSG_WM_SETFOCUS(func)                  \
  if (uMsg == WM_SETFOCUS) {                   \
    func(reinterpret_cast<HWND>(wParam));      \
    lResult = 0;                               \
    return TRUE;                               \
  }

// int OnMouseActivate(HWND hDesktopWnd, UINT nHitTest, UINT message)
#define MSG_WM_MOUSEACTIVATE(func)                                                                  \
  if (uMsg == WM_MOUSEACTIVATE) {                                                                   \
    lResult = static_cast<LRESULT>(func(reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam))); \
    return TRUE;                                                                                    \
  }

// void OnMouseMove(UINT nFlags, CPoint point), and the same for the left button.
#define MSG_WM_MOUSE_(msg, func)                                                       \
  if (uMsg == (msg)) {                                                                 \
    func(static_cast<UINT>(wParam), CPoint(MSG_X_LPARAM_(lParam), MSG_Y_LPARAM_(lParam))); \
    lResult = 0;                                                                       \
    return TRUE;                                                                       \
  }
#define MSG_WM_MOUSEMOVE(func) MSG_WM_MOUSE_(WM_MOUSEMOVE, func)
#define MSG_WM_LBUTTONDBLCLK(func) MSG_WM_MOUSE_(WM_LBUTTONDBLCLK, func)
#define MSG_WM_LBUTTONDOWN(func) MSG_WM_MOUSE_(WM_LBUTTONDOWN, func)
#define MSG_WM_LBUTTONUP(func) MSG_WM_MOUSE_(WM_LBUTTONUP, func)

// HBRUSH OnCtlColor(CDC* pDC, HWND hCtl, UINT nCtlColor) for every WM_CTLCOLOR* message;
// nCtlColor is the CTLCOLOR_* kind (CTLCOLOR_EDIT, CTLCOLOR_DLG, ...).
#define MSG_WM_CTLCOLOR(func)                                                                    \
  if (uMsg >= WM_CTLCOLORMSGBOX && uMsg <= WM_CTLCOLORSTATIC) {                                  \
    CDC dc_(reinterpret_cast<HDC>(wParam));                                                      \
    lResult = reinterpret_cast<LRESULT>(                                                         \
        func(&dc_, reinterpret_cast<HWND>(lParam), uMsg - WM_CTLCOLORMSGBOX));                   \
    return TRUE;                                                                                 \
  }

// void func(): a command (menu, accelerator, or control notification) with this id.
#define COMMAND_ID(id, func)                            \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id)) {   \
    func();                                             \
    lResult = 0;                                        \
    return TRUE;                                        \
  }

// void func(UINT nID): a command with an id from first to last.
#define COMMAND_RANGE(idFirst, idLast, func)                                          \
  if (uMsg == WM_COMMAND && LOWORD(wParam) >= (idFirst) && LOWORD(wParam) <= (idLast)) { \
    func(LOWORD(wParam));                                                             \
    lResult = 0;                                                                      \
    return TRUE;                                                                      \
  }

// void func(): a control notification with this id and code (BN_CLICKED, ...).
#define COMMAND_CODE(id, code, func)                                                 \
  if (uMsg == WM_COMMAND && LOWORD(wParam) == (id) && HIWORD(wParam) == (code)) {     \
    func();                                                                          \
    lResult = 0;                                                                     \
    return TRUE;                                                                     \
  }

// In a control's table: void func(), its own notification with this code, reflected by the parent.
#define REFLECTED_COMMAND_CODE(code, func)                    \
  if (uMsg == OCM_COMMAND && HIWORD(wParam) == (code)) {      \
    func();                                                   \
    lResult = 0;                                              \
    return TRUE;                                              \
  }

// In a control's table: BOOL func(), its own notification with this code, reflected by the
// parent; FALSE declines, so the parent's table sees the command as well.
#define REFLECTED_COMMAND_CODE_DECLINE(code, func)        \
  if (uMsg == OCM_COMMAND && HIWORD(wParam) == (code)) {  \
    if (func()) {                                         \
      lResult = 0;                                        \
      return TRUE;                                        \
    }                                                     \
    return FALSE;                                         \
  }

// In a control's table: void func(LPDRAWITEMSTRUCT), its own owner drawing, reflected by the parent.
#define REFLECTED_DRAWITEM(func)                                \
  if (uMsg == OCM_DRAWITEM) {                                   \
    func(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));           \
    lResult = TRUE;                                             \
    return TRUE;                                                \
  }

// In a control's table: HBRUSH func(CDC* pDC, UINT nCtlColor), its own colours, reflected by the parent.
#define REFLECTED_CTLCOLOR(func)                                                             \
  if (uMsg >= OCM_CTLCOLORMSGBOX && uMsg <= OCM_CTLCOLORSTATIC) {                            \
    CDC dc_(reinterpret_cast<HDC>(wParam));                                                  \
    lResult = reinterpret_cast<LRESULT>(func(&dc_, uMsg - OCM_CTLCOLORMSGBOX));              \
    return TRUE;                                                                             \
  }
