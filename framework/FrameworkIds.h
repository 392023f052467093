// FrameworkIds.h - resource ids, frame styles and private messages shared by the framework and the program.
//
// Plain macros so that resource scripts can use them too.
#pragma once

// String resource with the application title: message box captions and the settings sub-key.
#define AFX_IDS_APP_TITLE (0xE000)
// Control id of the first pane of a frame (its client window) and of a splitter's pane (0, 0).
#define AFX_IDW_PANE_FIRST (0xE900)
// The About command (F1 in the program's accelerator table).
#define ID_APP_ABOUT (0xE140)

// Frame style bit: the frame keeps its title up to date (kept in the window style's
// class-specific low word, which top-level windows do not use otherwise).
#define FWS_ADDTOTITLE (0x00008000L)

// Sent to every view of a new frame once the frame and its document are complete; wParam 0, lParam 0.
#define WM_INITIALUPDATE (0x0364)
