// StatusMonitor.h - the status thread: looks for the box every 2 s, checks its firmware, reads status records and sets the USB state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "StatusParams.h"

constexpr unsigned int kStatusCycleMs = 2000;
constexpr std::size_t kMinStatusRecord = 8;
extern const char* const kProgramDownloadErrorText;

// The thread procedure; returns 0. Its starter sets the running flag to 1 before the
// thread starts; it runs until the flag is cleared or the firmware request fails.
uint32_t StatusMonitor(StatusParams* params);

// What one status record (count big-endian in bytes 0-3, result in byte 4) does to the
// USB state, by g_downloadKind; shows the error box through host on a failure.
void EvaluateStatusRecord(const unsigned char* record, IUsbThreadHost& host);

// Asks a running monitor to end: clears its running flag and ends a read of the status
// pipe or a firmware request in progress. A call ended so is a stop, not a failure: no
// pipe reset, no state. The caller then waits for the thread.
void RequestStatusMonitorStop(StatusParams& params);
