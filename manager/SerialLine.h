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
  // Whether the line's device has gone away (a failed call that a probe of the device
  // confirmed, or a reopen that found no device). Writes then fail without a word; whoever
  // runs the line ends it and reports the loss.
  virtual bool IsLost() const { return false; }
};
