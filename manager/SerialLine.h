// SerialLine.h - the serial line as the protocol sees it: write, close and reopen at a rate, purge.
#pragma once

class ISerialLine {
 public:
  virtual ~ISerialLine() = default;

  virtual bool Initialize(unsigned short port, unsigned long baudRate) = 0;
  virtual bool Uninitialize() = 0;
  virtual bool WriteData(const unsigned char* data, unsigned long length) = 0;
  virtual bool WriteByte(unsigned char byte) = 0;
  virtual void PurgePort() = 0;
  // Baud rate of the last open attempt.
  virtual unsigned long GetBaudRate() const = 0;
};
