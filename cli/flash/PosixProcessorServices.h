// PosixProcessorServices.h - the POSIX side of IProcessorServices: settings, cancel signal, notifications, pauses, files.
//
// Called by the processor on the reader thread and by the engine on the client's thread. The
// settings are single words written by the client's thread before the port opens; the cancel
// signal is an atomic flag that wakes the client's loop.
#pragma once

#include <atomic>

#include "ProcessorServices.h"

class CPosixClientWindow;
class CPosixMessageLoop;

class CPosixProcessorServices : public IProcessorServices {
 public:
  CPosixProcessorServices(CPosixMessageLoop& loop, CPosixClientWindow& window) : m_loop(loop), m_window(window) {}

  void SetEventMessage(unsigned int msg) { m_eventMsg = msg; }
  void SetBaudRate(unsigned long baud) { m_baud = baud; }

  // The manager's cancel event: signalled by the processor, reset and waited on by the client.
  bool CancelSignalled() const { return m_cancel; }
  void ResetCancel() { m_cancel = false; }

  void GetComportInfo(unsigned short* port, unsigned long* baudRate) override;
  void SignalCancel() override;
  void NotifyParent(const char* text, long kind) override;
  int ShowMessageBox(const char* text, const char* caption, unsigned int type) override;
  void MessageBeep(unsigned int) override {}
  void Pause(unsigned int ms) override;
  FileRead ReadFile(const char* path, std::vector<unsigned char>& contents) override;

  // Whether a path names a file that can be opened for reading (not a folder, as on Windows).
  static bool CanOpen(const char* path);

 private:
  CPosixMessageLoop& m_loop;
  CPosixClientWindow& m_window;
  std::atomic<unsigned int> m_eventMsg{0};
  std::atomic<unsigned long> m_baud{115200};
  std::atomic<bool> m_cancel{false};
};
