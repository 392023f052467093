// ManagerEvents.h - values shared by the library's portable core and its Win32 edges: event kinds, box and beep types.
#pragma once

// Kinds of the event notification (lParam of the client's event message).
enum ManagerEventKind : long {
  EVENT_MESSAGE = 0,   // status line, wParam: text
  EVENT_ERROR = 1,     // error line, wParam: text
  EVENT_PROGRESS = 3,  // wParam: image bytes consumed so far, as "%ul" text
  EVENT_TOTAL = 4,     // wParam: size of the loaded image, as "%ul" text
  EVENT_COMPLETE = 5,  // wParam: 0
};

// The Win32 values of the message box and beep types the library uses.
namespace box {
constexpr unsigned int kOk = 0x00;               // MB_OK
constexpr unsigned int kIconError = 0x10;        // MB_ICONERROR
constexpr unsigned int kIconExclamation = 0x30;  // MB_ICONEXCLAMATION
}  // namespace box

// Window timer that the processor restarts after every handled byte.
constexpr unsigned int kSilenceTimerId = 10;
constexpr unsigned int kSilenceTimerMs = 120000;
