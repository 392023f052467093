// DownloadTracker.h - follows one box's download from the library's notifications: its outcome, progress line and summary.
//
// Fed on the client's thread with the library's events and the flasher's own findings
// (timer 10, boxes, Ctrl-C); time is the caller's, in seconds from any origin.
#pragma once

#include <cstdint>
#include <string>

class CDownloadTracker {
 public:
  enum Outcome {
    kRunning,        // nothing decided yet
    kDownloaded,     // the completion event came
    kPortFailed,     // the port could not be opened (or reopened at the download's rate)
    kImageRefused,   // the library refused the image
    kSilent,         // 120 s without a byte from the box (the library's timer 10)
    kTooManyErrors,  // more error reports from the box than the limit allows
    kStopped,        // Ctrl-C
  };

  // Exit status a script can act on, for an outcome.
  static int ExitCode(Outcome outcome);
  static const char* Describe(Outcome outcome);
  // Whether an error line is one of the box's error reports, which the library shows in
  // its own words.
  static bool IsBoxReport(const std::string& text);
  // Whether an error line or a box text says that the library refused the image.
  static bool IsImageRefusal(const std::string& text);
  // Whether a box text says that the port could not be opened or set up.
  static bool IsPortFailure(const std::string& text);
  // Whether an error line is the library's report of a port whose device has gone (its words,
  // with the port's name: "Lost COM3 ..." on Windows, "Lost /dev/ttyUSB0 ..." on POSIX).
  static bool IsPortLoss(const std::string& text);

  explicit CDownloadTracker(int maxErrors) : m_maxErrors(maxErrors) {}

  // Total event: the box started a handshake and the image (size bytes) was loaded.
  void OnTotal(uint32_t size, double now);
  void OnProgress(uint32_t offset, double now);
  // Error event: may decide the outcome (image refused, too many error reports).
  void OnError(const std::string& text);
  void OnComplete(double now);
  // An outcome found outside the events (silence, port, Ctrl-C); the first one stays.
  void Decide(Outcome outcome, double now);

  Outcome Result() const { return m_outcome; }
  bool Started() const { return m_started; }
  int BoxReports() const { return m_boxReports; }
  uint32_t Offset() const { return m_offset; }

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
};
