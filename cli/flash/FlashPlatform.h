// FlashPlatform.h - what the flasher's portable session needs around it: the download engine, the boxes it shows, timers, clocks and output.
//
// Threads. The session lives on one thread, the session thread, and is never entered
// twice at the same time. The platform calls the session's inputs (CFlashSession's Start,
// OnEvent, OnBox, OnTimer, OnStopRequest, BeforeClose, Close) on that thread only; the
// session calls every operation below on that thread only. Calls nest: the platform
// delivers events and boxes from inside Arm, StopTransfer and Cancel (the library reports
// while it arms and stops, and its reader waits for each event to be handled), and the
// session calls StopTransfer, Arm and the timers from inside its inputs.
//
// Win32 (CWin32FlashPlatform): the session thread is the thread of a hidden window; the
// library's reader thread reaches it by SendMessage, its boxes are answered by a
// CBoxAnswerer and reported here, timers are window timers, Ctrl-C is posted.
// POSIX, over the library's portable processor and a termios line: the session runs on
// the main thread; the processor's notifications from the reader thread are queued to it
// and the reader waits until each is handled, as SendMessage does (Cancel's wait keeps
// handling that queue); the processor's boxes return at once and are queued as OnBox; its
// window timer 10 and the session's timers fire as OnTimer on the main thread; a signal
// handler only sets a flag that the main loop turns into OnStopRequest.
#pragma once

#include <cstdint>
#include <string>

class IFlashPlatform {
 public:
  virtual ~IFlashPlatform() = default;

  // The download engine (VelManager's CVelManager on Windows).
  // Arms a download of the image: the library tests the file, opens the port at 9600 and
  // waits for the box (ReadyToTransfer). The cancel flag is cleared and a confirmation left
  // from an earlier cancel is forgotten first. Returns the file test's result; boxes the
  // library showed while arming are delivered before it returns.
  virtual bool Arm(const std::string& image) = 0;
  // Whether the port is open and monitored.
  virtual bool IsPortOpen() = 0;
  // Closes the port and leaves the library waiting for SYNC (StopTransfer); callable from
  // inside OnEvent, while the library's reader waits for the session.
  virtual void StopTransfer() = 0;
  // Asks the library to cancel and waits up to waitMs for its confirmation, delivering the
  // library's events meanwhile; the cancel flag is cleared again before it returns.
  // True when the library confirmed.
  virtual bool Cancel(unsigned waitMs) = 0;

  // Timers of the session thread: OnTimer(id) after periodMs, again every periodMs until
  // stopped. The library's own silence timer (kSilenceTimerId) arrives the same way and is
  // stopped with StopTimer.
  virtual void StartTimer(unsigned id, unsigned periodMs) = 0;
  virtual void StopTimer(unsigned id) = 0;

  // Seconds from any fixed origin, never going back.
  virtual double Now() = 0;
  // Milliseconds since 1970-01-01 00:00 UTC.
  virtual int64_t UnixTimeMs() = 0;
  // The local time of day for line stamps, "HH:MM:SS.mmm".
  virtual std::string LocalClock() = 0;

  enum Stream { kOut, kErr };
  // Writes text as it is (the session adds line ends and carriage returns) and flushes.
  virtual void Write(Stream stream, const std::string& text) = 0;
  // Whether standard output is a console, where a line may rewrite itself.
  virtual bool OutputIsConsole() = 0;

  // The session has its outcome: the platform's loop ends after the current input.
  virtual void EndLoop() = 0;
};
