// SimUsbBox.h - the simulated set-top box behind the USB transport: takes a download, answers its requests, reports its flash and status.
//
// Written from the wire description alone. Thread-safe: the worker, the end-of-data
// thread and the status thread may use it at once. Reads of the status pipe block
// until a record is queued, the box is unplugged or the read is aborted; the idle hook
// (if set) runs first, on the reading thread, without the box's lock. Held control
// requests and held bulk writes block the same way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "UsbTransport.h"

struct FlashReply {
  signed char phase;
  signed char value;
};

// One thing the box saw, in order.
struct SimTraffic {
  enum Kind { kOpenDevice, kOpenPipe, kClose, kWriteRequest, kReadRequest, kResetPipe, kPipeWrite, kPipeRead, kAbort };
  Kind kind;
  bool ok = true;
  uint32_t request = 0;        // control requests
  uint32_t length = 0;         // bytes offered or asked for
  uint32_t done = 0;           // bytes taken or delivered
  std::string pipe;            // pipe operations
  std::vector<unsigned char> data;  // write requests: the bytes; flash replies: phase, value

  // "header box.img 4097", "announce 4096", "bulk 4096", "bulk 1000 of 4096", "end of data",
  // "firmware", "flash 1,40", "reset PIPE03", "status 16"; failures end in " failed".
  std::string Describe() const;
};

class CSimUsbBox : public IUsbTransport {
 public:
  CSimUsbBox();
  ~CSimUsbBox() override;
  // Boxes in existence now: a box that threads nobody waits for may use must last until
  // the process ends.
  static int Instances();
  CSimUsbBox(const CSimUsbBox&) = delete;
  CSimUsbBox& operator=(const CSimUsbBox&) = delete;

  // --- The cable. Unplugging fails every handle opened before and wakes blocked reads.
  void Plug();
  void Unplug();

  // --- How the box behaves.
  // Requests of this number fail from the (after + 1)-th one on.
  void FailRequest(uint32_t request, unsigned int after = 0);
  // Write requests of this number succeed with a byte count of 0.
  void AnswerZeroCount(uint32_t request);
  // Opens fail with this reason while plugged (kNone: they open).
  void FailOpens(UsbOpenFailure why);
  void FailDeviceOpens(bool fail);
  void FailPipeOpens(const std::string& pipeName, bool fail);
  // Replies to request 1139 once request 7 has come, in order; the last one repeats.
  // Before request 7 the box answers phase 5 (not started).
  void SetFlashScript(std::vector<FlashReply> replies);
  // Successive bulk writes take at most these many bytes each; then all.
  void QueueWriteLimit(uint32_t maxBytes);
  // Bulk writes succeed but take nothing.
  void StallWrites(bool stall);
  // The n-th bulk write (from 0) fails.
  void FailWrite(unsigned int index);
  // Status records for the status pipe, one per read.
  void QueueStatusRecord(std::vector<unsigned char> record);
  // On request 7: queue the record (bytes received, big-endian; result).
  void ReportResultAtEndOfData(unsigned char result);
  void SetIdleStatusReadHook(std::function<void()> hook);
  // Control requests of this number are not completed while held: they wait until
  // released, and fail when the box is unplugged or the handle aborted. A held write
  // request takes effect when it arrives (request 7 starts the flash); a held read has
  // no effect until it is answered. The hook runs (on the
  // requesting thread, without the box's lock) when one starts to wait.
  void HoldRequest(uint32_t request, bool hold);
  // Bulk writes to PIPE03 are not completed while held; they fail like held requests.
  void HoldWrites(bool hold);
  // Reads of the status pipe deliver nothing while held, even when records are queued.
  void HoldStatusReads(bool hold);
  // A driver that does not give a held call back when it is aborted: only a release,
  // an unplug or closing the handle ends it.
  void KeepAbortedCalls(bool keep);
  // Runs when a held call starts to wait: the request number, or kHeldPipeWrite.
  static constexpr uint32_t kHeldPipeWrite = 0;
  void SetHeldRequestHook(std::function<void(uint32_t request)> hook);

  // --- What the box saw.
  std::vector<SimTraffic> Traffic() const;
  // Describe() of every control request, bulk write and pipe reset, in order.
  std::vector<std::string> Requests() const;
  std::vector<unsigned char> ReceivedImage() const;
  std::string HeaderName() const;
  uint32_t HeaderSize() const;
  int OpenHandleCount() const;
  // Bulk writes that break the announcement rule (longer than announced, or unannounced).
  std::vector<std::string> Violations() const;

  // --- IUsbTransport
  UsbHandle OpenStbDevice(UsbOpenFailure* why) override;
  UsbHandle OpenStbPipe(const char* pipeName, UsbOpenFailure* why) override;
  void Close(UsbHandle handle) override;
  bool WriteRequest(UsbHandle device, uint32_t request, uint32_t length, const void* data,
                    uint32_t* bytesReturned) override;
  bool ReadRequest(UsbHandle device, uint32_t request, uint32_t length, void* data, uint32_t* bytesReturned) override;
  void ResetPipe(UsbHandle pipe) override;
  bool ReadPipe(UsbHandle pipe, void* buffer, uint32_t length, uint32_t* got) override;
  bool WritePipe(UsbHandle pipe, const void* data, uint32_t length, uint32_t* written) override;
  void AbortTransfer(UsbHandle handle) override;

 private:
  struct OpenHandle {
    std::string pipe;  // empty for a device handle
    unsigned int plugGeneration;
    unsigned int aborts = 0;
  };
  UsbHandle OpenLocked(const std::string& pipe, UsbOpenFailure* why);
  // The handle's record if it is open and from the current plug; null otherwise.
  OpenHandle* LiveLocked(UsbHandle h, bool wantPipe);
  bool CountedFailureLocked(uint32_t request);
  // Waits while the call is held (held() true); false when the wait ended by an unplug,
  // abort or close. what goes to the held hook.
  bool WaitWhileHeldLocked(std::unique_lock<std::mutex>& lock, UsbHandle handle, bool isPipe, uint32_t what,
                           const std::function<bool()>& held);
  void Log(SimTraffic t) { m_traffic.push_back(std::move(t)); }

  mutable std::mutex m_mutex;
  std::condition_variable m_statusArrived;
  bool m_plugged = true;
  unsigned int m_plugGeneration = 0;
  UsbHandle m_nextHandle = 100;
  std::map<UsbHandle, OpenHandle> m_handles;

  std::map<uint32_t, unsigned int> m_failFrom;   // request -> requests that still succeed
  std::map<uint32_t, unsigned int> m_seen;       // request -> count so far
  std::map<uint32_t, bool> m_zeroCount;
  UsbOpenFailure m_openFailure = UsbOpenFailure::kNone;
  bool m_failDevice = false;
  std::map<std::string, bool> m_failPipe;

  std::vector<FlashReply> m_flashScript;
  std::size_t m_flashStep = 0;
  bool m_endOfData = false;
  bool m_reportResult = false;
  unsigned char m_result = 0;

  std::deque<uint32_t> m_writeLimits;
  bool m_stall = false;
  long m_failWriteIndex = -1;
  unsigned int m_writes = 0;
  uint32_t m_announced = 0;
  bool m_haveAnnouncement = false;

  std::deque<std::vector<unsigned char>> m_status;
  std::function<void()> m_idleHook;
  std::map<uint32_t, bool> m_held;
  bool m_holdWrites = false;
  bool m_holdStatus = false;
  bool m_keepAborted = false;
  std::function<void(uint32_t)> m_heldHook;

  std::vector<SimTraffic> m_traffic;
  std::vector<unsigned char> m_image;
  std::string m_headerName;
  uint32_t m_headerSize = 0;
  std::vector<std::string> m_violations;
};
