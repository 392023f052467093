// StatusParams.h - the status thread's parameter block: what it reads, and its running flag.
//
// Owner: the USB view, through CUsbStatusThread, which shares the block with the thread
// so that a thread ending after the view still finds it. The transport and the host
// are lent and outlive the thread. The thread publishes the status pipe and the device
// handle it is using under handleLock, so that a stop can end a read or request in
// progress without racing their close.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "UsbTransport.h"

class IUsbDownloadView;
class IUsbThreadHost;

struct StatusParams {
  StatusParams(IUsbTransport& transport, IUsbThreadHost& host) : transport(transport), host(host) {}
  StatusParams(const StatusParams&) = delete;
  StatusParams& operator=(const StatusParams&) = delete;

  void* threadHandle = nullptr;           // stored by the starter; waited on when the view goes
  IUsbDownloadView* view = nullptr;       // owner of the block; the thread never calls it
  std::atomic<unsigned char> running{0};  // set to 1 by the starter; the thread goes on while it is 1
  uint32_t readLength = 16;               // bytes asked for by every read of the status pipe
  unsigned char* readBuffer = nullptr;    // read length + 16 bytes, the thread's while it runs
  std::string pipeName = "PIPE00";

  IUsbTransport& transport;
  IUsbThreadHost& host;
  std::mutex handleLock;
  UsbHandle pipe = kInvalidUsbHandle;    // the status pipe open now, under handleLock
  UsbHandle device = kInvalidUsbHandle;  // the device handle open now, under handleLock
};
