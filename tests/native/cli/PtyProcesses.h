// PtyProcesses.h - what the POSIX flasher tests put on the far end: a socat pty pair and stbsim on one of its ends.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// A child process; killed (SIGKILL) and reaped by the destructor if still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::vector<std::string>& argv);
  // Exit status, or -1 when it did not end within timeoutMs (it is then killed).
  int Wait(int timeoutMs);
  void Signal(int signo);
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_status = -1;
};

// Two connected pseudo-terminals, at folder/pc and folder/box; Vanish() takes both away as an
// unplugged cable does.
class PtyPair {
 public:
  explicit PtyPair(const std::string& folder);
  bool Ready() const { return m_ready; }
  std::string Pc() const { return m_folder + "/pc"; }
  std::string Box() const { return m_folder + "/box"; }
  void Vanish();
  // Holds the far end still (nothing written on one end is read from the other) or lets it go on.
  void Pause(bool paused);

 private:
  std::string m_folder;
  ChildProcess m_socat;
  bool m_ready = false;
};

// A scratch folder removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& Path() const { return m_path; }
  std::string Write(const std::string& name, const std::vector<unsigned char>& bytes) const;
  std::string Read(const std::string& name) const;

 private:
  std::string m_path;
};
