// UsbStatusTimer.h - the USB view's 500 ms timer step: turns the USB state into message lines and repeats a download on request.
#pragma once

class IUsbDownloadView;
struct DownloadJob;

constexpr unsigned int kUsbStatusTimerId = 1;
constexpr unsigned int kUsbStatusTimerMs = 500;
// Ticks in state 2 after which the state falls back to 0 (6 s).
constexpr int kConnectedTicks = 12;

// One WM_TIMER of timer 1; the view passes the message on to its default handling
// afterwards. job is the view's download job: while a download holds it (busy), state 5
// is taken in and does nothing, as the Download button does nothing then.
void UsbStatusTimerStep(IUsbDownloadView& view, const DownloadJob& job);
