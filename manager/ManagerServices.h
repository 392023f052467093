// ManagerServices.h - the Win32 side of IProcessorServices: port settings, cancel event, boxes, beeps, pauses, files.
#pragma once

#include <windows.h>

#include "ProcessorServices.h"

class CManagerServices : public IProcessorServices {
 public:
  CManagerServices() = default;
  CManagerServices(const CManagerServices&) = delete;
  CManagerServices& operator=(const CManagerServices&) = delete;
  ~CManagerServices() override;

  // A new handle on the library's cancel event, which the processors signal when they
  // honour a cancel: manual reset, without a name, one per loaded library, made on first use.
  // Every manager of the process holds its own handle on it; no other process can reach it.
  // Null if the event cannot be made.
  HANDLE NewCancelEventHandle();

  void GetComportInfo(unsigned short* port, unsigned long* baudRate) override;
  void SignalCancel() override;
  void NotifyParent(const char* text, long kind) override;
  int ShowMessageBox(const char* text, const char* caption, unsigned int type) override;
  void MessageBeep(unsigned int type) override;
  void Pause(unsigned int ms) override;
  FileRead ReadFile(const char* path, std::vector<unsigned char>& contents) override;

  // The client's event message number (the manager's static member).
  static unsigned int EventMessage();

 private:
  HANDLE m_hCancel = nullptr;
};

// Sends an event notification (message number of the last SetParentInfo) to hWnd, then
// repaints it; nothing happens when hWnd is null.
void NotifyParent(HWND hWnd, const char* text, long kind);
