// UserMessages.h - the window messages the program's own windows and the serial library exchange.
#pragma once

#include <windows.h>

// From the serial library to the serial download view: an event. wParam: pointer to a
// zero-terminated text, valid only during the call; lParam: the event kind.
#define WM_VELMAN_EVENT (WM_USER + 1)
// From the serial library to the serial download view: busy (wParam 1) or idle (wParam 0); lParam 0.
#define WM_VELMAN_INPROCESS (WM_USER + 2)
// From the main frame to the work view: show the About information. wParam 0, lParam 0.
#define WM_SHOW_ABOUT (WM_USER + 3)
