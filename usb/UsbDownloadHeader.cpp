#include "UsbDownloadHeader.h"

#include <cstring>

UsbDownloadHeader BuildDownloadHeader(const char* name, uint32_t size) {
  UsbDownloadHeader h;
  std::memset(&h, 0, sizeof h);
  std::size_t n = std::strlen(name);
  if (n > sizeof h.fileName - 1) n = sizeof h.fileName - 1;
  std::memcpy(h.fileName, name, n);
  h.imageSize[0] = static_cast<unsigned char>(size >> 24);
  h.imageSize[1] = static_cast<unsigned char>(size >> 16);
  h.imageSize[2] = static_cast<unsigned char>(size >> 8);
  h.imageSize[3] = static_cast<unsigned char>(size);
  return h;
}

std::string FileNameOfPath(const std::string& path) {
  std::string::size_type slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
