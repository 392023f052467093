#include "BoxPoint.h"

#include <cstdlib>

namespace {
struct SName {
  const char* name;
  SBoxPoint::Kind kind;
  bool indexed;
};
const SName kNames[] = {
    {"sync", SBoxPoint::kSync, false},          {"ready", SBoxPoint::kReady, false},
    {"func", SBoxPoint::kFunc, false},          {"echo", SBoxPoint::kEcho, false},
    {"header", SBoxPoint::kHeader, true},       {"after-header", SBoxPoint::kAfterHeader, true},
    {"block", SBoxPoint::kBlock, true},         {"after-block", SBoxPoint::kAfterBlock, true},
};
}  // namespace

bool SBoxPoint::Parse(const std::string& text, SBoxPoint& out) {
  size_t colon = text.find(':');
  std::string name = text.substr(0, colon);
  for (const SName& n : kNames) {
    if (name != n.name) continue;
    if (!n.indexed) {
      if (colon != std::string::npos) return false;
      out = {n.kind, 0};
      return true;
    }
    if (colon == std::string::npos || colon + 1 >= text.size()) return false;
    const char* digits = text.c_str() + colon + 1;
    char* end = nullptr;
    long value = std::strtol(digits, &end, 10);
    if (*end != '\0' || *digits < '0' || *digits > '9' || value < 1 || value > 1000000000) return false;
    out = {n.kind, static_cast<int>(value)};
    return true;
  }
  return false;
}

std::string SBoxPoint::Describe() const {
  for (const SName& n : kNames)
    if (n.kind == kind) return n.indexed ? std::string(n.name) + ":" + std::to_string(index) : std::string(n.name);
  return "?";
}
