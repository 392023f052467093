// BoxLogEntry.h - one line of the box's log: a frame with its verdict, or an event.
#pragma once

#include <cstdio>
#include <string>

#include "BoxTime.h"

struct SBoxLogEntry {
  enum Direction { kToPc, kFromPc, kEvent };

  BoxTime time = 0;
  int download = 0;
  Direction direction = kEvent;
  std::string text;

  // "  1234.567 #1 box> SYNC 22": time in ms, download number, direction, text.
  std::string Format() const {
    static const char* const kTags[] = {"box>", "pc> ", "--- "};
    char head[64];
    std::snprintf(head, sizeof head, "%10.3f #%d %s ", double(time) / 1000.0, download, kTags[direction]);
    return head + text;
  }
};
