// BoxTime.h - the box engine's clock: microseconds on the caller's time line.
#pragma once

#include <cstdint>
#include <limits>

using BoxTime = int64_t;

constexpr BoxTime kBoxNever = std::numeric_limits<BoxTime>::max();
constexpr BoxTime kBoxMs = 1000;
