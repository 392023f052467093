// StbsimRun.h - runs the stbsim program on a fresh pty pair, with the test PC (or nobody) on the other end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "TestPc.h"

class CStbsimRun {
 public:
  CStbsimRun();
  ~CStbsimRun();

  // A file in the run's own folder.
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::vector<uint8_t> ReadFile(const std::string& name) const;
  std::string ReadText(const std::string& name) const;

  // Starts stbsim on the pty with these arguments after --tty.
  bool Start(const std::vector<std::string>& args);
  // Serves the line with `pc` (if any) until stbsim exits or `limitMs` passes (then it is killed);
  // `signalAfterMs` sends SIGTERM that long after the start. Returns the exit status, or -1.
  int Serve(CTestPc* pc, int limitMs, int signalAfterMs = -1);

  std::string Stderr() const { return ReadText("stderr"); }
  double elapsedMs = 0;

 private:
  std::string m_dir;
  int m_master = -1;
  int m_slave = -1;
  std::string m_slaveName;
  pid_t m_child = -1;
};
