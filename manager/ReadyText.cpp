#include "ReadyText.h"

#include <cstring>

void SplitFileName(const char* path, std::string& name, std::string& ext) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/' || (*p == ':' && p == path + 1)) base = p + 1;
  const char* dot = std::strrchr(base, '.');
  if (!dot) dot = base + std::strlen(base);
  name.assign(base, dot);
  ext.assign(dot);
}

std::string FormatReadyText(const char* path) {
  std::string name, ext;
  SplitFileName(path, name, ext);
  return "Ready (" + name + ext + ")";
}
