// UsbTransport.h - the USB transport to the box: find and open its device and pipes, control requests, bulk reads and writes.
//
// Handles are owned by the caller that opened them and closed by it; implementations
// must allow several threads to open and use handles of their own at the same time.
#pragma once

#include <cstdint>

using UsbHandle = std::intptr_t;
constexpr UsbHandle kInvalidUsbHandle = -1;  // nothing found or opened (all bits set)

// Why an open gave the invalid handle.
enum class UsbOpenFailure {
  kNone,         // opened
  kNotFound,     // no interface of the class is present, or none opens
  kPathTooLong,  // an interface was found but its path (or the pipe path) exceeds 255 characters
};

class IUsbTransport {
 public:
  virtual ~IUsbTransport() = default;

  // Device handle on the first interface of the box's class that opens. why may be null.
  virtual UsbHandle OpenStbDevice(UsbOpenFailure* why) = 0;
  // Handle on the pipe pipeName below the interface, which is found anew on every call.
  virtual UsbHandle OpenStbPipe(const char* pipeName, UsbOpenFailure* why) = 0;
  virtual void Close(UsbHandle handle) = 0;

  // IOCTL_STB_WRITE_REQUEST: the box receives length bytes from data for request.
  // bytesReturned receives the driver's byte count (non-zero for a completed request with data).
  virtual bool WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                            uint32_t* bytesReturned) = 0;
  // IOCTL_STB_READ_REQUEST: the box returns length bytes for request into data.
  virtual bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data,
                           uint32_t* bytesReturned) = 0;
  // IOCTL_STB_RESET_PIPE on a pipe whose transfer just failed; the result does not matter.
  virtual void ResetPipe(UsbHandle pipe) = 0;

  // One synchronous read or write on a pipe.
  virtual bool ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) = 0;
  virtual bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) = 0;
  // From another thread: ends a read, write or control request in progress on handle
  // (a pipe or a device handle) with a failure (shutdown).
  virtual void AbortTransfer(UsbHandle handle) = 0;
};
