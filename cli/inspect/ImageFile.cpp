#include "ImageFile.h"

#include <filesystem>
#include <fstream>

bool CImageFile::Read(const std::string& path, std::vector<unsigned char>& contents, std::string& reason) {
  contents.clear();
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    reason = path + " is a folder, not an image";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    reason = "cannot open " + path;
    return false;
  }
  const uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > UINT32_MAX) {
    reason = path + " is larger than the library can load (4 GiB)";
    return false;
  }
  // Read to the end rather than trust the size: a file may change under us.
  char chunk[65536];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    contents.insert(contents.end(), chunk, chunk + file.gcount());
    if (contents.size() > UINT32_MAX) {
      reason = path + " is larger than the library can load (4 GiB)";
      contents.clear();
      return false;
    }
  }
  if (file.bad()) {
    reason = "cannot read " + path;
    contents.clear();
    return false;
  }
  return true;
}

uint32_t CImageFile::Crc32(const std::vector<unsigned char>& data) {
  static uint32_t table[256];
  static const bool built = [] {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[n] = c;
    }
    return true;
  }();
  (void)built;
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}
