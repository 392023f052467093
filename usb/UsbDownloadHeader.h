// UsbDownloadHeader.h - the 263-byte download header of request 3: the image's file name and its size.
#pragma once

#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct UsbDownloadHeader {
  char fileName[256];           // at most 255 bytes of name, zero-terminated, zero-filled
  unsigned char imageSize[4];   // file length, unsigned 32-bit big-endian
  unsigned char reserved[3];    // zero
};
#pragma pack(pop)
static_assert(sizeof(UsbDownloadHeader) == 263, "the box takes a 263-byte header");

// The header for a file name (cut to 255 bytes) and an image size.
UsbDownloadHeader BuildDownloadHeader(const char* name, uint32_t size);

// The characters of path after its last backslash (the whole path when it has none).
std::string FileNameOfPath(const std::string& path);
