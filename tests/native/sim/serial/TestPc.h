// TestPc.h - a small PC side of the serial download that drives the box in tests: bytes in, bytes out, timed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "BoxFifo.h"
#include "BoxTime.h"

// Answers the box the way the PC does on the wire, with its own checksum, and can spoil chosen frames of
// the first download. After an error report it waits for SYNC again; after the end header too.
class CTestPc {
 public:
  struct SOptions {
    uint8_t baudCode = 0x05;  // 0: none (a rate outside the table)
    bool reopen = true;       // what the box sends in the 400 ms after the baud code is lost
    BoxTime latency = 0;      // between a request and the reply
    int function = -1;        // -1: from the first record; else this code in download 1 (0x100: none)
    int ignoreReady = 0;      // READY bytes left unanswered
    // Spoiled frames of download 1 (blocks counted across the download, from 1).
    int badCrcBlock = 0;
    int wrongSequenceBlock = 0;
    int shortBlock = 0;
    int missingBlock = 0;
    int extraByteBlock = 0;
    int badFillerHeader = 0;
    int extraByteHeader = 0;
    int wrongPayloadBlock = 0;  // one payload byte changed, checksum recomputed
  };

  CTestPc(std::vector<uint8_t> image, SOptions options);

  // Bytes from the box, arrived at `now`.
  void Receive(const std::vector<uint8_t>& bytes, BoxTime now);
  // When the next write is due, kBoxNever if none.
  BoxTime NextTime() const;
  // Writes due by `now`.
  std::vector<uint8_t> TakeWrites(BoxTime now);

  // What the PC saw.
  std::vector<uint8_t> errors;            // code bytes of the error reports
  std::vector<uint8_t> echoes;            // function echoes
  std::vector<uint8_t> sequences;         // sequence bytes of the blocks sent, across downloads
  std::vector<std::vector<uint8_t>> requests;  // block requests as received (two bytes each)
  std::vector<uint8_t> ignored;           // bytes that fit no state
  std::vector<uint8_t> all;               // every byte received while the port was open
  int completed = 0;
  int syncs = 0;
  size_t lost = 0;

  static uint32_t Checksum(const uint8_t* data, size_t size);

 private:
  enum State { kWaitSync, kWaitReady, kWaitFunction, kWaitEcho, kWaitHeaderRep, kWaitBlockRequest };

  void OnByte(uint8_t byte, BoxTime now);
  void SendHeader(BoxTime now);
  void SendBlock(uint8_t requested, BoxTime now);
  void Write(const std::vector<uint8_t>& bytes, BoxTime now);
  bool Spoil(int which) const { return download == 1 && which != 0; }

  std::vector<uint8_t> m_image;
  SOptions m_options;
  State m_state = kWaitSync;
  bool m_errorPending = false;
  std::vector<uint8_t> m_request;
  BoxTime m_closedUntil = 0;
  size_t m_offset = 0;
  int64_t m_remaining = 0;
  int m_counter = 0;
  int m_blocks = 0;
  int m_headers = 0;
  int m_readyIgnored = 0;
  uint8_t m_data[1024] = {};
  CBoxFifo<std::pair<BoxTime, uint8_t>> m_writes;

 public:
  int download = 0;
};
