// ImageFile.h - reads an image file whole for the tools, with a reason a person can act on when it cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CImageFile {
 public:
  // Reads the file at path into contents. False with the reason when it cannot: a folder,
  // a file that cannot be opened or read, or one larger than the library can load (its
  // sizes are 32-bit).
  static bool Read(const std::string& path, std::vector<unsigned char>& contents, std::string& reason);

  // The CRC-32 of zip and gzip (reflected, polynomial 0xEDB88320, inverted), as the
  // crc32 command prints it: lets a log name the exact file a box received.
  static uint32_t Crc32(const std::vector<unsigned char>& data);
};
