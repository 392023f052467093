// FlashSession.h - one run of the flasher: arms the library, follows each box through its events and decides the run's lines and exit status.
//
// Portable: it reaches the library, the clock, the timers and the output only through
// IFlashPlatform, whose header says on which thread each call runs. The platform feeds it
// the library's events, the boxes the library showed, timer ticks and stop requests; the
// session's loop ends when EndLoop is called, after which the platform calls BeforeClose,
// lets the library go quiet (delivering what it still says) and calls Close.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DownloadTracker.h"
#include "FlashOptions.h"
#include "FlashPlatform.h"

class CFlashSession {
 public:
  // Timers of the session (the library's silence timer is ManagerEvents.h's kSilenceTimerId).
  static constexpr unsigned kArmTimer = 11;
  // Line mode arms again this long after a box is done, so that the library's reader has
  // left the notification that ended it before the processor is armed anew.
  static constexpr unsigned kArmDelayMs = 500;
  // How long a Ctrl-C waits for the library to confirm its cancel.
  static constexpr unsigned kCancelWaitMs = 1000;

  CFlashSession(const CFlashOptions& options, IFlashPlatform& platform);
  CFlashSession(const CFlashSession&) = delete;
  CFlashSession& operator=(const CFlashSession&) = delete;

  // Arms the first box.
  void Start();
  // A library event: kind and text as the event message carries them (null text: none).
  void OnEvent(const char* text, long kind);
  // A message box the library showed, already answered.
  void OnBox(const std::string& text, const std::string& caption);
  void OnTimer(unsigned id);
  // Ctrl-C.
  void OnStopRequest();

  bool Finished() const { return m_finished; }
  // After the loop: clears the progress line and closes the port.
  void BeforeClose();
  // After the library has gone quiet: the run's last lines; returns the exit status.
  int Close();

 private:
  void Arm();
  void Stop();
  // A stop while no box is being served: the port closes and the run ends.
  void StopBetweenBoxes();
  // The current box is decided: report it, then arm for the next one or finish.
  void EndBox(CDownloadTracker::Outcome outcome);
  void Finish(int exitCode);
  // Line mode's last line: "N box(es) served", and how many of them did not download.
  std::string CountLine() const;

  void PrintLine(const char* prefix, const std::string& text);
  void ShowProgress(bool force);
  void ClearProgress();

  const CFlashOptions& m_options;
  IFlashPlatform& m_platform;
  std::unique_ptr<CDownloadTracker> m_tracker;
  int m_boxNumber = 0;
  // Line mode: boxes that came and got their summary, those that did not download, and the
  // exit status of the first of those.
  int m_boxesServed = 0;
  int m_boxesFailed = 0;
  int m_firstFailure = 0;
  bool m_finished = false;
  std::vector<std::string> m_closingLines;  // printed once the library has gone quiet
  int m_exitCode = 1;
  bool m_stopping = false;
  bool m_progressShown = false;
  std::size_t m_progressWidth = 0;
  double m_lastProgress = -1;
};
