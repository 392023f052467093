// ProgressArithmetic.h - what a progress window shows for a position: fraction, bar edge and percentage text.
#pragma once

#include <cstddef>

// pos / range, pos taken as unsigned 32-bit and range as signed 32-bit, kept in single
// precision; 0 for a range of 0 or below.
float ProgressFraction(int pos, int range);
// width * fraction truncated toward zero, limited to [0, width + 1] (the bar's outline
// column then lies outside the window).
int ProgressBarRight(int width, float fraction);
// "%3.0f%%" of fraction * 100 into out; the number of characters written.
int FormatProgressText(float fraction, char* out, std::size_t size);
