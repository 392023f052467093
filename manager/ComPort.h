// ComPort.h - one serial port: opened as \\.\COMn with the library's line settings; writes, polls single bytes, closes.
//
// The handle is shared by the client's thread (open, close) and the reader thread
// (polling, writes, the protocol's reopen). A critical section guards every use of it;
// nothing is sent to a window while it is held.
//
// A port whose device goes away (a USB-serial adapter pulled, the far end of a virtual
// line gone) is recognised by a failing call that a probe of the device confirms, or by a
// reopen on the reader thread that finds no device. The port is then marked lost, with the
// failing call's diagnostic: reads and writes fail at once without a word, and the monitor's
// reader ends the monitor and reports it.
#pragma once

#include <windows.h>

#include <string>

#include "SerialLine.h"

class CComPort : public ISerialLine {
 public:
  CComPort();
  ~CComPort() override;
  CComPort(const CComPort&) = delete;
  CComPort& operator=(const CComPort&) = delete;

  // Initialize with the stored port number and baud rate.
  virtual bool Reinitialize();
  // Opens and configures the port; false if it is already open or on failure.
  bool Initialize(unsigned short port, unsigned long baudRate) override;
  // Closes the port; false if it was not open.
  bool Uninitialize() override;

  // One blocking write of the whole buffer; a partial write counts as a failure.
  bool WriteData(const unsigned char* data, unsigned long length) override;
  bool WriteByte(unsigned char byte) override;
  // Polls every 5 ms until a byte arrives (true) or the port closes (false).
  bool ReadByte(unsigned char* out);
  // Aborts and clears both queues of the open port.
  void PurgePort() override;

  unsigned long GetBaudRate() const override { return m_dwBaudRate; }
  unsigned short GetPortNumber() const { return m_nPort; }
  void SeedSettings(unsigned short port, unsigned long baudRate);
  bool IsOpen() const { return m_hPort != nullptr; }

  bool IsLost() const override { return m_bLost; }
  // What the loss was: the failing call's diagnostic, in the library's usual form, and the
  // system error code.
  void GetLoss(std::string& diagnostic, unsigned long& error) const;

 protected:
  // Whether the calling thread may still use the port (the monitor refuses stopped readers).
  virtual bool MayUsePort() const { return true; }
  // Whether the calling thread is the monitor's reader, where a failed reopen means the
  // device has gone (reported by the reader) rather than a choice to show in a box.
  virtual bool OnReaderThread() const { return false; }
  // A status line through the current processor, if there is one (none while unloading).
  void Notify(const char* text) const;
  bool m_bUnloading = false;

 private:
  static void ShowError(const char* text);
  // Under the port lock, after a call on the open handle failed: asks the device for its
  // settings. A port whose device is still there answers; one that has gone fails too, and
  // is marked lost with the first failure's error and diagnostic.
  bool ConfirmLoss(DWORD error, const char* diagnostic);
  // Under the port lock: marks the port lost (the first loss is kept).
  void RecordLoss(DWORD error, const char* diagnostic);
  // Initialize's failure: a box on the client's thread; on the reader thread the port is lost.
  void OpenFailed(const char* text, DWORD error);

  HANDLE volatile m_hPort = nullptr;
  unsigned short m_nPort = 1;
  unsigned long m_dwBaudRate = 115200;
  volatile bool m_bClosing = false;
  volatile bool m_bLost = false;
  DWORD m_dwLostError = 0;
  char m_szLostDiagnostic[192] = {};
  mutable CRITICAL_SECTION m_csPort;
};
