// BoxImageComparison.h - the outcome of comparing a received image with the image file.
#pragma once

#include <string>
#include <vector>

struct SBoxImageComparison {
  bool equal = true;
  // One line per differing run of bytes or length difference, in image order; empty when equal.
  std::vector<std::string> differences;
};
