// ComPort.h - one serial port: opened as \\.\COMn with the library's line settings; writes, polls single bytes, closes.
//
// The handle is shared by the client's thread (open, close) and the reader thread
// (polling, writes, the protocol's reopen). A critical section guards every use of it;
// nothing is sent to a window while it is held.
#pragma once

#include <windows.h>

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

 protected:
  // Whether the calling thread may still use the port (the monitor refuses stopped readers).
  virtual bool MayUsePort() const { return true; }
  // A status line through the current processor, if there is one (none while unloading).
  void Notify(const char* text) const;
  bool m_bUnloading = false;

 private:
  static void ShowError(const char* text);

  HANDLE volatile m_hPort = nullptr;
  unsigned short m_nPort = 1;
  unsigned long m_dwBaudRate = 115200;
  volatile bool m_bClosing = false;
  mutable CRITICAL_SECTION m_csPort;
};
