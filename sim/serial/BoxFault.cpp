#include "BoxFault.h"

#include <cstdio>

std::string SBoxFault::Describe() const {
  char text[96];
  std::string at = point.Describe();
  switch (kind) {
    case kErrorReport: std::snprintf(text, sizeof text, "error report 0x%02x at %s", code, at.c_str()); break;
    case kGarbage:
      std::snprintf(text, sizeof text, "%zu garbage bytes at %s", bytes.empty() ? size_t(randomCount) : bytes.size(),
                    at.c_str());
      break;
    case kSilent:
    case kBabble:
      if (durationMs)
        std::snprintf(text, sizeof text, "%s at %s for %u ms", kind == kSilent ? "silence" : "babble", at.c_str(),
                      durationMs);
      else
        std::snprintf(text, sizeof text, "%s at %s for good", kind == kSilent ? "silence" : "babble", at.c_str());
      break;
    case kSwapRequest: std::snprintf(text, sizeof text, "swapped request at %s", at.c_str()); break;
    case kPause: std::snprintf(text, sizeof text, "pause of %u ms at %s", durationMs, at.c_str()); break;
    case kRestart: std::snprintf(text, sizeof text, "restart at %s (up again after %u ms)", at.c_str(), durationMs); break;
    case kWrongEcho:
      if (codeGiven)
        std::snprintf(text, sizeof text, "wrong echo 0x%02x", code);
      else
        std::snprintf(text, sizeof text, "wrong echo");
      break;
  }
  return text;
}
