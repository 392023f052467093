// ReadyText.h - the "Ready (name.ext)" line that arming a download reports.
#pragma once

#include <string>

// File name and extension of a path, split the way the C runtime's _splitpath does:
// the name follows the last '\', '/' or drive colon, the extension starts at its last '.'.
void SplitFileName(const char* path, std::string& name, std::string& ext);

// "Ready (%s%s)" filled with the path's file name and extension.
std::string FormatReadyText(const char* path);
