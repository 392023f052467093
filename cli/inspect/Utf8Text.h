// Utf8Text.h - text of the platform's own encoding (file names as the command line gives them) turned into UTF-8 for JSON.
#pragma once

#include <string>

// Windows: from the ANSI code page. POSIX: names are taken as UTF-8 already; bytes that are
// not UTF-8 are left to the JSON writer, which replaces them.
std::string Utf8FromNative(const std::string& text);
