// StbsimSession.h - one run of stbsim: the box engine on a tty, its report, and the verdict.
#pragma once

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "SerialBox.h"
#include "StbsimOptions.h"
#include "TtyLine.h"

// Runs on the calling thread only: a poll loop that sleeps until the line has data, room for output, or
// the engine's next event; SIGINT and SIGTERM (blocked outside the poll) end it cleanly.
class CStbsimSession {
 public:
  enum ExitCode { kPass = 0, kFail = 1, kUsage = 2, kTimeout = 3, kStopped = 4 };

  explicit CStbsimSession(const CStbsimOptions& options);
  ~CStbsimSession();

  // Returns the exit code; `reason` holds the one-line reason for any code but kPass.
  int Run(std::string& reason);

 private:
  enum Stop { kNone, kByTimeout, kBySignal, kByHangup };

  bool Setup(std::string& reason);
  void Loop();
  bool FlushOutput();
  void DrainLog();
  void OnResults();
  void Line(const std::string& text);
  int Verdict(std::string& reason);
  BoxTime Now() const;

  CStbsimOptions m_options;
  std::unique_ptr<CSerialBox> m_box;
  CTtyLine m_tty;
  uint32_t m_ttyRate = 9600;
  FILE* m_report = nullptr;
  bool m_reportIsStdout = false;
  std::vector<uint8_t> m_pending;  // box bytes the line has not taken yet
  size_t m_resultsSeen = 0;
  Stop m_stop = kNone;
  std::string m_lineError;
  long long m_startNs = 0;
  sigset_t m_pollMask;
};
