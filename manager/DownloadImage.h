// DownloadImage.h - a serial download image in memory: its sections, their payload lengths, and reads kept inside it.
//
// An image is a sequence of sections, each a 64-byte header area (a 44-byte section
// record, then 20 bytes that are never sent) followed by its payload, and ends with a
// 44-byte end record. The block holds the file followed by one zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CDownloadImage {
 public:
  static constexpr int kRecordSize = 44;
  static constexpr int kHeaderAreaSize = 64;

  enum Kind { kNone = 0, kProgram = 1, kDig = 2, kAnal = 3, kDigAnal = 4 };

  // Takes the file's contents; the block keeps its storage between loads.
  void Load(const std::vector<unsigned char>& contents);
  uint32_t Size() const { return m_nSize; }
  const unsigned char* Data() const { return m_block.data(); }

  // The classification by section records, as the box is told at its function request.
  // Stops at the end of the image; an image of 2048 bytes or less has no section.
  Kind Scan(int digSize64K, int digSize1K) const;
  // Payload length of the section a record introduces.
  static int32_t SectionLength(const unsigned char* record, int digSize64K, int digSize1K);

  // Copies the record at offset into out, filling with zeros what lies beyond the image;
  // returns how many bytes came from the image.
  int CopyRecord(int64_t offset, unsigned char out[kRecordSize]) const;
  // Whether [offset, offset + length) lies inside the image.
  bool Holds(int64_t offset, int64_t length) const;

  // One section as a download sends it: the record's offset and the payload length.
  struct Section {
    int64_t offset;
    int32_t length;
  };

  // Walks the sections the way a download sends them, appending each one found to sections
  // (when given) and setting endOffset to where the end record starts. Empty when every
  // payload lies inside the image and an end record follows the last section; otherwise
  // what is wrong, and the sections before the fault are those found.
  std::string Walk(int digSize64K, int digSize1K, std::vector<Section>* sections, int64_t* endOffset) const;
  std::string CheckLayout(int digSize64K, int digSize1K) const {
    return Walk(digSize64K, digSize1K, nullptr, nullptr);
  }

 private:
  std::vector<unsigned char> m_block{0};
  uint32_t m_nSize = 0;
};
