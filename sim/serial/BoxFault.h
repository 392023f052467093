// BoxFault.h - one misbehaviour the box shows on request, and where.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BoxPoint.h"

struct SBoxFault {
  enum Kind {
    kErrorReport,  // sends 0x50, code instead of what the point sends; the download ends there
    kGarbage,      // sends garbage bytes just before what the point sends
    kSilent,       // sends nothing from the point on
    kBabble,       // sends a stream of random bytes from the point on
    kSwapRequest,  // sends the block request at the point (a block point) as n, 0x69
    kWrongEcho,    // echoes `code` instead of the function code (point: echo)
    kPause,        // waits `durationMs` before it sends what the point sends, then goes on (a slow box)
    kRestart,      // restarts at the point, as a box that loses power: nothing more of this download, the
                   // line back at 9600 baud, and after `durationMs` (its start-up time) a new one with SYNC
  };

  Kind kind = kErrorReport;
  SBoxPoint point;
  uint8_t code = 0;                // error code, or the wrong echo
  bool codeGiven = false;          // wrong echo: false = the received code with bit 7 flipped
  std::vector<uint8_t> bytes;      // garbage: these bytes, or when empty...
  uint32_t randomCount = 0;        // ...this many random bytes
  uint32_t durationMs = 0;         // silence or babble: how long, 0 = for good; then the box starts over;
                                   // pause: how long; restart: the time from the point to the new SYNC
                                   // (at least 1 ms)
  int download = 1;                // the download (from 1) it applies to; 0 = every download

  // Faults after which the download may legitimately fail (all but the swapped request and the pause,
  // which the PC is expected to go along with).
  bool MayBreak() const { return kind != kSwapRequest && kind != kPause; }
  // "error report 0x57 at block:5", "2 garbage bytes at sync", ...
  std::string Describe() const;
};
