// FlashSession.h - one run of the flasher on one port: arms the library, follows each box through its events and decides the run's lines, records and exit status.
//
// Portable: it reaches the library, the clock, the timers and the output only through
// IFlashPlatform, whose header says on which thread each call runs. The platform feeds it
// the library's events, the boxes the library showed, timer ticks and stop requests; the
// session's loop ends when EndLoop is called, after which the platform calls BeforeClose,
// lets the library go quiet (delivering what it still says) and calls Close.
//
// Output: the library's lines with a time stamp and their kind (N:, E:, B:), a progress
// line that rewrites itself on a console only, one summary line per box, and on standard
// error one line that says what went wrong when the status is not 0. Serving one port for
// a velflash that serves several (--child), it also writes "@progress" and "@record" lines
// for its parent and leaves the log file to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DownloadTracker.h"
#include "FlashOptions.h"
#include "FlashPlatform.h"
#include "ProgressLine.h"
#include "RunLog.h"

class CFlashSession {
 public:
  // Timers of the session (the library's silence timer is ManagerEvents.h's kSilenceTimerId).
  static constexpr unsigned kContactTimer = 12;   // --timeout
  static constexpr unsigned kDeadlineTimer = 13;  // --deadline
  // How long a cancel (Ctrl-C, --deadline) waits for the library to confirm it.
  static constexpr unsigned kCancelWaitMs = 1000;

  // log: the file that gets the box records, or null (and always null with --child).
  CFlashSession(const CFlashOptions& options, IFlashPlatform& platform, CRunLog* log);
  CFlashSession(const CFlashSession&) = delete;
  CFlashSession& operator=(const CFlashSession&) = delete;

  // Checks the image and arms the first box.
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
  // The image as the library will walk it; false (and the box ended) when it refuses it.
  bool CheckImage();
  void Stop();
  // Cancels the download under way, then ends the box with the outcome unless it ended meanwhile.
  void Abort(CDownloadTracker::Outcome outcome);
  // The current box is decided: report it, then arm for the next one or finish.
  void EndBox(CDownloadTracker::Outcome outcome);
  void WriteRecord(int status);
  void Finish(int exitCode, const std::string& advice);
  // What a person reads on standard error for a box that ended so.
  std::string Advice(CDownloadTracker::Outcome outcome) const;
  // Line mode's last line: "N box(es) served", and how many of them did not download.
  std::string CountLine() const;

  // A line of the library or of the flasher about the box; none with --quiet.
  void PrintLine(const char* prefix, const std::string& text);
  // A summary line: printed even with --quiet.
  void PrintSummary(const std::string& text);
  void ShowProgress(bool force);
  void ClearProgress();

  const CFlashOptions& m_options;
  IFlashPlatform& m_platform;
  CRunLog* m_log;
  const bool m_consoleProgress;
  std::unique_ptr<CDownloadTracker> m_tracker;
  CRunLog::BoxFacts m_facts;
  std::string m_refusal;  // why the image was refused before the port opened
  int m_boxNumber = 0;
  // Line mode: boxes that came and got their summary, those that did not download, and the
  // status and words of the first of those.
  int m_boxesServed = 0;
  int m_boxesFailed = 0;
  int m_firstFailure = 0;
  std::string m_firstAdvice;
  bool m_finished = false;
  std::vector<std::string> m_closingLines;  // printed once the library has gone quiet
  int m_exitCode = 1;
  std::string m_advice;
  bool m_stopping = false;
  CProgressLine m_progress;
  double m_lastProgress = -1;
};
