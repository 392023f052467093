// DownloadTracker.h - follows one box's download from the library's notifications: its outcome, progress line and summary.
//
// Fed on the session's thread with the library's events and the flasher's own findings
// (timer 10, boxes, limits, Ctrl-C); time is the caller's, in seconds from any origin.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDownloadTracker {
 public:
  enum Outcome {
    kRunning,        // nothing decided yet
    kDownloaded,     // the completion event came
    kPortFailed,     // the port could not be opened (or reopened at the download's rate)
    kPortLost,       // the port went away or a write to it failed: the cable or the adapter
    kImageRefused,   // the library refused the image
    kSilent,         // 120 s without a byte from the box (the library's timer 10)
    kTooManyErrors,  // more error reports from the box than the limit allows
    kNoBox,          // no box started within --timeout
    kDeadline,       // the box did not finish within --deadline
    kStopped,        // Ctrl-C
  };

  // Error lines kept per box for its record; a babbling box brings thousands.
  static constexpr std::size_t kKeptErrors = 50;

  // Exit status a script can act on, for an outcome.
  static int ExitCode(Outcome outcome);
  static const char* Describe(Outcome outcome);
  // One word for the outcome in a log record ("downloaded", "port_lost", ...).
  static const char* Key(Outcome outcome);
  // Whether an error line is one of the box's error reports, which the library shows in
  // its own words.
  static bool IsBoxReport(const std::string& text);
  // Whether an error line or a box text says that the library refused the image.
  static bool IsImageRefusal(const std::string& text);
  // Whether a box text says that the port could not be opened or set up.
  static bool IsPortFailure(const std::string& text);
  // Whether an error line says that the port went away (the library's words, with the port's
  // name: "Lost COM3 ..." on Windows, "Lost /dev/ttyUSB0 ..." on POSIX) or could not be written to.
  static bool IsPortLoss(const std::string& text);

  explicit CDownloadTracker(int maxErrors) : m_maxErrors(maxErrors) {}

  // Total event: the box started a handshake and the image (size bytes) was loaded.
  void OnTotal(uint32_t size, double now);
  void OnProgress(uint32_t offset, double now);
  // Error event: kept for the box's record; while nothing is decided it may decide the
  // outcome (image refused, port lost, too many error reports).
  void OnError(const std::string& text);
  void OnComplete(double now);
  // An outcome found outside the events (silence, port, Ctrl-C); the first one stays.
  void Decide(Outcome outcome, double now);

  Outcome Result() const { return m_outcome; }
  bool Started() const { return m_started; }
  int BoxReports() const { return m_boxReports; }
  uint32_t Offset() const { return m_offset; }
  uint32_t Size() const { return m_size; }
  uint32_t Reached() const { return m_reached; }
  // Seconds from the box's first SYNC to its end (or to now while it runs); 0 before.
  double Seconds(double now) const;
  double AttemptSeconds(double now) const { return now - m_attemptStart; }
  // The error lines of this box in the library's words, the box's own reports apart;
  // the first kKeptErrors of each, and how many more there were.
  const std::vector<std::string>& BoxReportTexts() const { return m_reportTexts; }
  const std::vector<std::string>& ErrorTexts() const { return m_errorTexts; }
  std::size_t ErrorsLeftOut() const { return m_errorsLeftOut; }

  // "  42%  6144 of 14444 bytes  10.2 KB/s  0:01 / 0:03": percent of the image, payload
  // rate, elapsed and estimated total time of the current attempt.
  std::string ProgressLine(double now) const;
  // "box N: B bytes, T s, result" for the line mode and the end of a run.
  std::string Summary(int number, double now) const;

 private:
  int m_maxErrors;
  Outcome m_outcome = kRunning;
  bool m_started = false;
  uint32_t m_size = 0;
  uint32_t m_offset = 0;
  uint32_t m_reached = 0;  // highest offset of any attempt
  double m_firstStart = 0;
  double m_attemptStart = 0;
  double m_end = -1;
  int m_boxReports = 0;
  std::vector<std::string> m_reportTexts;
  std::vector<std::string> m_errorTexts;
  std::size_t m_errorsLeftOut = 0;
};
