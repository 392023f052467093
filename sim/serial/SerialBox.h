// SerialBox.h - the set-top box's side of the serial download, driven by time: bytes in, bytes out.
#pragma once

// The box leads: SYNC 0x22 at 9600 baud until the PC echoes it, the baud code, a pause while the PC
// reopens its port, READY 0x05 until READY_ACK, FUNC 0xD0, the function code and its echo, then for each
// section HEADER_REP 0x70, the 64-byte data header, block requests 0x69 n (n = block number mod 10) and
// 1030-byte blocks up to the one marked 0xEE, until a data header with flag byte 0 ends the download.
// Every frame is checked; a bad or missing one gets an error report 0x50 e and the box starts over with
// SYNC at its current rate:
//   0x51 "Function Communication"  READY_ACK wrong or missing; function code not 0x04-0x07 or missing
//   0x54 "Header is wrong"         header filler not 0xFF; payload above the limit; bytes beyond a header
//   0x55 "Data Communication"      block not starting with 0x69; bytes beyond a block
//   0x56 "Count number"            wrong sequence byte; block shorter than 1030 bytes when its time is up
//   0x57 "Checksum check"          CRC of the 1024 data bytes differs from the block's last 4 bytes
//   0x59 "Header communication"    data header missing or shorter than 64 bytes when its time is up
//   0x5A "Data communication"      no byte of a requested block arrived in time
// After a completed download the box returns to 9600 baud and starts the next one; so does a box that
// restarts (as asked), after its start-up time.
//
// No OS calls, sleeps or threads: the caller feeds what arrived from the PC with its arrival time, takes
// what the box has sent by a given time, and calls again at NextEventTime(). Time never goes backwards.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BoxCrc32.h"
#include "BoxLogEntry.h"
#include "BoxSettings.h"
#include "BoxTime.h"
#include "BoxDownloadResult.h"
#include "BoxFifo.h"
#include "BoxLineTiming.h"
#include "BoxReceivedImage.h"

class CSerialBox {
 public:
  static constexpr uint8_t kSync = 0x22;
  static constexpr uint8_t kReady = 0x05;
  static constexpr uint8_t kFunc = 0xD0;
  static constexpr uint8_t kHeaderRep = 0x70;
  static constexpr uint8_t kDataHeader = 0x69;
  static constexpr uint8_t kErrorReport = 0x50;
  static constexpr uint8_t kLastBlock = 0xEE;
  static constexpr size_t kHeaderFrame = 64;
  static constexpr size_t kBlockFrame = 1030;
  static constexpr size_t kBlockData = 1024;
  static constexpr size_t kMaxPendingInput = 1u << 20;  // a flooding PC overruns the receiver beyond this
  static constexpr size_t kMaxLogEntries = 100000;      // undrained log lines beyond this are dropped

  // The box powers on at `start` and sends its first SYNC then.
  CSerialBox(const SBoxSettings& settings, BoxTime start);

  // Bytes from the PC that arrived at `now` (with pacing they count as received one byte time apart).
  void Feed(const uint8_t* data, size_t size, BoxTime now);
  // Runs everything due up to `now`: received bytes, timeouts, repeats.
  void Advance(BoxTime now);
  // When Advance or TakeOutput next has something to do; kBoxNever when nothing will happen unasked.
  BoxTime NextEventTime() const;
  // Bytes that have fully left the box by `now`, in order (advances to `now` first).
  std::vector<uint8_t> TakeOutput(BoxTime now);

  // Log lines since the last call.
  std::vector<SBoxLogEntry> TakeLog();
  // Downloads that have ended, in order.
  const std::vector<SBoxDownloadResult>& Results() const { return m_results; }
  // The image rebuilt by the last completed download.
  const std::vector<uint8_t>& LastImage() const { return m_lastImage; }

  uint32_t LineRate() const { return m_rate; }
  // Bytes the box has sent that have not yet fully left.
  size_t PendingOutput() const { return m_output.size(); }
  int Download() const { return m_download; }
  // Silent or babbling for good, as asked: the current download ends only when the box is stopped.
  bool InEndlessFault() const;
  // What the box is doing or waiting for: "waiting for the SYNC echo", "waiting for block 3 of section 1", ...
  std::string Activity() const;

 private:
  enum Phase { kSendSync, kAwaitCode, kReopen, kAwaitReadyAck, kAwaitFunction, kAwaitHeader, kAwaitBlock, kSilent, kBabble };
  struct SPending {
    uint8_t byte;
    BoxTime arrival;
  };
  struct SOutput {
    BoxTime done;
    uint8_t byte;
  };

  void OnByte(uint8_t byte, BoxTime arrival);
  void OnTimer();
  void OnHeader();
  void OnBlock();

  void StartDownload(BoxTime firstSync);
  void SendSync();
  void SendReady(bool first);
  void RequestHeader();
  void RequestBlock();
  void AwaitFrame(Phase phase, size_t size);
  void Fail(uint8_t code, const std::string& reason);
  void Complete();
  void EndDownload(SBoxDownloadResult::Outcome outcome, const std::string& reason);
  void SetLineRate(uint32_t rate);

  // Sends `bytes` at point `here` unless a misbehaviour takes over; false when one did.
  bool Emit(SBoxPoint::Kind here, std::vector<uint8_t> bytes, const std::string& what);
  bool Matches(const SBoxFault& fault, SBoxPoint::Kind here) const;
  void StartFault(const SBoxFault& fault);
  // Queues `bytes` to leave the box from `from` on (not before now).
  BoxTime Send(const std::vector<uint8_t>& bytes, BoxTime from = 0);
  void SendBabble();
  std::vector<uint8_t> RandomBytes(size_t count);

  void Stray(uint8_t byte, BoxTime arrival, const char* reason);
  void FlushStrays();
  void Log(SBoxLogEntry::Direction direction, const std::string& text, BoxTime at = -1);
  void RefreshTail();

  SBoxSettings m_settings;
  CBoxCrc32 m_crc;
  CBoxLineTiming m_rx, m_tx, m_rxTail;
  CBoxFifo<SPending> m_input;
  CBoxFifo<SOutput> m_output;
  size_t m_overrun = 0;
  BoxTime m_inputDone = 0;  // when the last pending byte will have arrived
  BoxTime m_now;
  BoxTime m_timer = kBoxNever;
  uint32_t m_rate = 9600;
  uint32_t m_rng;

  // The current download.
  Phase m_phase = kSendSync;
  int m_download = 0;
  BoxTime m_start = 0;
  BoxTime m_dataStart = 0;
  BoxTime m_awaitFrom = 0;  // replies count only from when the request had fully left
  BoxTime m_echoAt = 0;
  int m_syncsSent = 0;
  uint32_t m_readySent = 0;
  uint8_t m_function = 0;
  uint8_t m_overlongCode = 0x51;  // error for bytes beyond the frame before the current one
  int m_headers = 0;              // data headers requested
  int m_blocks = 0;               // data blocks requested
  int m_section = 0;
  int m_sectionBlock = 0;
  int64_t m_sectionLength = 0;
  int64_t m_remaining = 0;
  size_t m_payloadBytes = 0;
  std::vector<uint8_t> m_frame;
  size_t m_frameSize = 0;
  CBoxReceivedImage m_image;
  std::vector<bool> m_fired;
  std::string m_breakingFault;  // the misbehaviour that may have ended this download
  BoxTime m_faultEnd = kBoxNever;
  BoxTime m_emitAt = 0;  // when the bytes of the last emitted point start to leave (later after a pause)
  size_t m_babbled = 0;

  // Stray bytes are logged as one line per run.
  size_t m_strays = 0;
  BoxTime m_strayAt = 0;
  std::string m_strayBytes;
  const char* m_strayReason = "";

  std::vector<SBoxLogEntry> m_log;
  size_t m_logDropped = 0;
  std::vector<SBoxDownloadResult> m_results;
  std::vector<uint8_t> m_lastImage;
};
