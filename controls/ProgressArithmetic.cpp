#include "ProgressArithmetic.h"

#include <cstdint>
#include <cstdio>

float ProgressFraction(int pos, int range) {
  if (range <= 0) return 0.0f;
  return static_cast<float>(static_cast<double>(static_cast<uint32_t>(pos)) / static_cast<double>(range));
}

int ProgressBarRight(int width, float fraction) {
  if (width <= 0 || !(fraction > 0.0f)) return 0;
  float edge = static_cast<float>(width) * fraction;
  if (edge >= static_cast<float>(width) + 1.0f) return width + 1;
  return static_cast<int>(edge);
}

int FormatProgressText(float fraction, char* out, std::size_t size) {
  int n = std::snprintf(out, size, "%3.0f%%", static_cast<double>(fraction * 100.0f));
  return n < 0 ? 0 : (static_cast<std::size_t>(n) >= size ? static_cast<int>(size) - 1 : n);
}
