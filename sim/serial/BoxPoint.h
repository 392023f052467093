// BoxPoint.h - a point of the box's side of the exchange at which a misbehaviour takes effect.
#pragma once

#include <string>

// Each point is one thing the box sends. Headers and blocks are counted from 1 across the whole
// download (header K+1 is the end header's request when the image has K sections).
struct SBoxPoint {
  enum Kind {
    kSync,         // "sync": the first SYNC of a download
    kReady,        // "ready": the first READY
    kFunc,         // "func": FUNC
    kEcho,         // "echo": the echo of the function code
    kHeader,       // "header:K": the request for data header K
    kAfterHeader,  // "after-header:K": the first block request after data header K
    kBlock,        // "block:K": the request for data block K
    kAfterBlock,   // "after-block:K": whatever the box asks for after data block K
  };

  Kind kind = kSync;
  int index = 0;

  // Reads the forms above; false (and `out` untouched) for anything else.
  static bool Parse(const std::string& text, SBoxPoint& out);
  std::string Describe() const;
};
