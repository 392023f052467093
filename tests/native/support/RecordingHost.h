// RecordingHost.h - the library's surroundings for native tests: client window, services and serial line in one
// ordered log, with no sleeps (pauses are recorded, not waited).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ClientWindow.h"
#include "ProcessorServices.h"
#include "SerialLine.h"

struct HostAction {
  enum Kind {
    kSend,      // event message sent: number = kind, text
    kPost,      // event message posted: number = kind, text
    kInProcess, // in-process message: number = flag
    kComplete,  // event message with no text (kind 5)
    kUpdate,    // UpdateWindow
    kSetTimer,  // number = id, value = period
    kKillTimer, // number = id
    kBox,       // text, caption, number = type (client-window box or module box)
    kBeep,      // number = type
    kPause,     // number = ms
    kNotify,    // library-wide notification: number = kind, text
    kCancel,    // cancel event signalled
    kOpen,      // port opened: number = port, value = baud
    kClose,     // port closed
    kPurge,
    kWrite,     // bytes
    kReadFile,  // text = path
  };
  Kind kind;
  long number = 0;
  unsigned long value = 0;
  std::string text;
  std::string caption;
  std::vector<unsigned char> bytes;

  std::string Describe() const;
};

class RecordingHost : public IClientWindow, public IProcessorServices, public ISerialLine {
 public:
  static constexpr unsigned int kEventMsg = 1025;
  static constexpr unsigned int kInProcessMsg = 1026;

  // IClientWindow
  intptr_t Send(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Post(unsigned int msg, uintptr_t wParam, intptr_t lParam) override;
  void Update() override;
  void SetTimer(unsigned int id, unsigned int periodMs) override;
  void KillTimer(unsigned int id) override;
  int ShowMessageBox(const char* text, const char* caption, unsigned int type) override;

  // IProcessorServices
  void GetComportInfo(unsigned short* port, unsigned long* baudRate) override;
  void SignalCancel() override;
  void NotifyParent(const char* text, long kind) override;
  void MessageBeep(unsigned int type) override;
  void Pause(unsigned int ms) override;
  FileRead ReadFile(const char* path, std::vector<unsigned char>& contents) override;

  // ISerialLine
  bool Initialize(unsigned short port, unsigned long baudRate) override;
  bool Uninitialize() override;
  bool WriteData(const unsigned char* data, unsigned long length) override;
  bool WriteByte(unsigned char byte) override;
  void PurgePort() override;
  unsigned long GetBaudRate() const override { return lineBaud; }
  bool IsLost() const override { return lineLost; }

  // Files the services can read; a path not listed cannot be opened.
  std::map<std::string, std::vector<unsigned char>> files;
  unsigned short configuredPort = 1;
  unsigned long configuredBaud = 115200;
  unsigned long lineBaud = 9600;   // rate of the last open
  bool lineOpen = true;
  bool writesFail = false;
  bool lineLost = false;  // the line's device has gone
  // Called after every recorded event message (the client's handler).
  std::function<void(const HostAction&)> onEvent;

  std::vector<HostAction> log;

  void Clear() { log.clear(); }
  // Describe() of every action, optionally without repaint requests and timer restarts.
  std::vector<std::string> Described(bool withHousekeeping = false) const;
  // All bytes written to the line, in order.
  std::vector<unsigned char> Written() const;
  // Texts of the recorded events of one kind.
  std::vector<std::string> EventTexts(long kind) const;
};
