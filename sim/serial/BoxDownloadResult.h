// BoxDownloadResult.h - how one download ended, as the box saw it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BoxTime.h"

struct SBoxDownloadResult {
  enum Outcome {
    kCompleted,    // the end header arrived; see `matches` when compared
    kFailed,       // a frame failed its check or did not come
    kInterrupted,  // a misbehaviour asked for ended it, or made it fail
  };

  int download = 0;
  Outcome outcome = kFailed;
  std::string reason;       // what ended it (failures and interruptions)
  BoxTime start = 0;        // the first SYNC
  BoxTime dataStart = 0;    // the first HEADER_REP had left
  BoxTime end = 0;
  uint32_t rate = 0;        // line rate of the data phase
  size_t imageBytes = 0;    // size of the rebuilt image
  size_t payloadBytes = 0;
  int sections = 0;
  int blocks = 0;
  bool compared = false;
  bool matches = false;
  std::vector<std::string> differences;

  // Completed and, if compared, equal to the file.
  bool Good() const { return outcome == kCompleted && (!compared || matches); }
};
