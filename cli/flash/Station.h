// Station.h - velflash on several ports at once: one child velflash per port, their lines prefixed with the port, one log, the worst status.
//
// VelManager.dll keeps one port per process, so each port gets a process of its own: the
// same program with --child, which serves that port as a single run does and hands its
// box records and progress to this one. Portable: it reaches the children, the clock and
// the output only through IStationPlatform, on one thread (see its header). The first
// stop request (Ctrl-C) asks every child to stop; a second ends them all at once. Children
// that have not ended kStopGraceSeconds after a stop are ended too.
#pragma once

#include <string>
#include <vector>

#include "FlashOptions.h"
#include "ProgressLine.h"
#include "StationPlatform.h"

class CRunLog;

class CStation {
 public:
  static constexpr double kStopGraceSeconds = 10;
  // After a child was ended, how long its last lines may take to come.
  static constexpr double kKillGraceSeconds = 5;

  // log: where the children's box records go, or null.
  CStation(const CFlashOptions& options, IStationPlatform& platform, CRunLog* log);
  CStation(const CStation&) = delete;
  CStation& operator=(const CStation&) = delete;

  // Serves every port to its end; returns the worst (highest) status of the children.
  int Run();

  // A word for a child's exit status in the last line.
  static const char* StatusName(int status);

 private:
  struct Child {
    std::size_t index = 0;  // in the options' ports
    std::string label;  // the port, padded to the widest
    bool running = false;
    int status = 0;
    bool showing = false;  // has a progress entry
    unsigned long offset = 0;
    unsigned long size = 0;
    double seconds = 0;
  };

  void OnLine(Child& child, IFlashPlatform::Stream stream, const std::string& text);
  void OnStop();
  void KillAll(const char* why);
  void Print(IFlashPlatform::Stream stream, const std::string& text);
  void ShowProgress();
  void ClearProgress();
  int Running() const;
  // The child's port without the padding.
  static std::string Name(const Child& child);

  const CFlashOptions& m_options;
  IStationPlatform& m_platform;
  CRunLog* m_log;
  const bool m_consoleProgress;
  std::vector<Child> m_children;
  int m_stops = 0;
  double m_stopAt = 0;
  double m_killAt = -1;
  bool m_endedAtOnce = false;
  CProgressLine m_progress;
  double m_lastProgress = -1;
};
