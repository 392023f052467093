// PosixSerialLine.h - the serial line on a POSIX tty: raw 8N1 at the box's rates, exclusive, waited on with poll().
//
// The device is named once (SetDevice); Initialize opens it at a rate, whatever port number the
// processor passes. Open means exclusive: the lock file of the serial programs' convention (held
// from the first open until the line is destroyed), TIOCEXCL and flock. The terminal settings found
// at open are put back at every close, also by RestoreForExit at an exit that runs no destructors.
//
// Threads: the reader thread waits in ReadByte and, through the processor, writes, purges, closes
// and reopens; the client's thread closes the line once the reader is stopped or is waiting for
// its answer. A mutex guards the descriptor; nothing is reported while it is held. Uninitialize
// wakes a waiting ReadByte through a pipe of its own.
#pragma once

#include <termios.h>

#include <atomic>
#include <mutex>
#include <string>

#include "SerialLine.h"
#include "UucpLock.h"

class CVelManagerProcessor;
class IProcessorServices;

class CPosixSerialLine : public ISerialLine {
 public:
  enum ReadResult {
    kByte,  // a byte came
    kNone,  // no byte: the time is up, the wait was woken, or the line is closed or closing
    kLost,  // the device hung up or failed: LostError() says how
  };

  // Longest time a write may wait for room in the output queue, and a close for the queue to empty.
  static constexpr int kWriteTimeoutMs = 5000;

  // lockFolder: where the lock files live (empty: the system's).
  explicit CPosixSerialLine(std::string lockFolder = std::string());
  ~CPosixSerialLine() override;
  CPosixSerialLine(const CPosixSerialLine&) = delete;
  CPosixSerialLine& operator=(const CPosixSerialLine&) = delete;

  void SetDevice(const std::string& device) { m_device = device; }
  const std::string& Device() const { return m_device; }
  // Where status lines (through the processor), error lines and boxes go; both may be null.
  void SetReporting(IProcessorServices* services, CVelManagerProcessor* processor);

  // ISerialLine. The port number is not used: the line opens its device.
  bool Initialize(unsigned short port, unsigned long baudRate) override;
  bool Uninitialize() override;
  bool WriteData(const unsigned char* data, unsigned long length) override;
  bool WriteByte(unsigned char byte) override;
  void PurgePort() override;
  unsigned long GetBaudRate() const override { return m_baud; }

  // Waits up to timeoutMs for a byte without polling; woken at once by Uninitialize and Wake.
  ReadResult ReadByte(unsigned char* out, int timeoutMs);
  // Ends a wait in ReadByte (any thread).
  void Wake();
  bool IsOpen() const { return m_fd >= 0; }
  bool IsLost() const override { return m_lost; }
  // The system's error number of the loss (EIO for a hang-up without one).
  int LostError() const { return m_lostError; }
  // The words of the failed call that found the loss (a write), or empty.
  std::string LossDiagnostic() const;

  // Puts the open line's terminal settings back and removes the lock: only async-signal-safe calls.
  static void RestoreForExit();

 protected:
  // Whether the calling thread may still use the line (the monitor refuses stopped readers).
  virtual bool MayUsePort() const { return true; }
  // A status line through the processor, as the library's port sends them.
  void Notify(const char* text) const;
  void ReportError(const char* text) const;
  // The exclamation beep that goes with a failure the port reports.
  void Beep() const;

 private:
  void ShowBox(const std::string& text) const;
  // The open failed with an error number: the box, then what the person can do about it.
  void ReportOpenFailure(int error, const std::string& advice) const;
  std::string AccessAdvice() const;
  std::string BusyAdvice(pid_t holder, const std::string& name) const;
  // Waits for the output queue to empty, at most kWriteTimeoutMs (mutex held).
  void DrainLocked();
  void MarkLost(int error);

  std::string m_device;
  CUucpLock m_lock;
  IProcessorServices* m_services = nullptr;
  CVelManagerProcessor* m_processor = nullptr;

  mutable std::mutex m_mutex;
  std::atomic<int> m_fd{-1};
  std::atomic<bool> m_closing{false};
  std::atomic<bool> m_lost{false};
  std::atomic<bool> m_writeFailed{false};
  int m_lostError = 0;
  std::string m_lossDiagnostic;
  unsigned long m_baud = 9600;
  struct termios m_saved {};
  int m_wake[2] = {-1, -1};
  unsigned char m_in[256];
  int m_inCount = 0;
  int m_inNext = 0;
};
