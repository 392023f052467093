// BoxSettings.h - how the simulated box behaves: line pacing, its waits and timeouts, misbehaviours.
#pragma once

#include <cstdint>
#include <vector>

#include "BoxFault.h"

struct SBoxSettings {
  bool pace = true;                // each byte takes 10 bit times at the line rate, both ways
  uint32_t syncIntervalMs = 1000;  // SYNC is repeated this often until the echo arrives; also the pause before a new download
  uint32_t codeWaitMs = 200;       // how long the baud code may take after the echo
  uint32_t reopenDelayMs = 600;    // from the baud code to READY: the PC pauses, reopens its port, pauses
  uint32_t readyIntervalMs = 1000; // READY is repeated this often until READY_ACK...
  uint32_t readyTries = 5;         // ...this many times in all
  uint32_t replyTimeoutMs = 3000;  // time the PC has for a function code, data header or block (plus its line time)
  uint32_t maxPayload = 64u << 20; // a section announcing more is refused ("Header is wrong")
  bool compare = false;            // compare each received image with `reference`
  std::vector<uint8_t> reference;
  std::vector<SBoxFault> faults;
  uint32_t seed = 1;               // random bytes of garbage and babble
};
