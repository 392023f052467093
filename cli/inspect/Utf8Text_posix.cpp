#include "Utf8Text.h"

std::string Utf8FromNative(const std::string& text) { return text; }
