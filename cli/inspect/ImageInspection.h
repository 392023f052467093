// ImageInspection.h - what the serial library will do with an image: sections, function code, line bytes and times.
//
// Built on the library's own image walk and scan (CDownloadImage) with the DIG size
// parameters the library uses, so the report and a real download always agree. The times
// count the bytes both ways at 10 bits each and the pauses the PC makes; the box's own
// delays (its rate switch, erasing and writing) are not part of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DownloadImage.h"

class CImageInspection {
 public:
  struct SectionFacts {
    int64_t offset;       // of the section record
    unsigned char flag;   // record byte 0
    bool program;         // record byte 31 set
    unsigned char dataKind;  // record byte 32
    unsigned char unit;      // record byte 33
    int32_t length;       // payload bytes
    int blocks;           // 1030-byte blocks sent for it
    int lastBlockPayload; // image bytes in its last (0xEE) block
  };

  struct Timing {
    unsigned long rate;
    double lineSeconds;
    double pauseSeconds;
    double Total() const { return lineSeconds + pauseSeconds; }
  };

  // The rates the box knows, by baud code 1 to 5.
  static const unsigned long kRates[5];
  // The library's DIG size parameters: no operation of it ever sets them.
  static constexpr int kDigSize64K = 0;
  static constexpr int kDigSize1K = 0;

  explicit CImageInspection(const std::vector<unsigned char>& contents);

  uint32_t Size() const { return m_image.Size(); }
  // The texts the library sends when it refuses the image at the function request, in its
  // order; empty when it takes the image.
  const std::vector<std::string>& Problems() const { return m_problems; }
  bool Accepted() const { return m_problems.empty(); }
  // For a refused image, what the library's words leave unsaid and the person can act on:
  // an image too small for the library to look for sections, or a whole image followed by
  // stray bytes. Empty when there is nothing to add.
  const std::string& Why() const { return m_why; }
  CDownloadImage::Kind Kind() const { return m_kind; }
  unsigned char FunctionCode() const;
  const char* FunctionName() const;  // null when none is sent

  // Sections the walk found (up to a fault), and the end record.
  const std::vector<SectionFacts>& Sections() const { return m_sections; }
  bool HasEndRecord() const { return m_endOffset >= 0; }
  int64_t EndOffset() const { return m_endOffset; }
  int EndRecordBytes() const;  // how many of its 44 bytes the file holds

  // Bytes of one whole download, handshake to end header; 0 when the image is refused.
  uint64_t BytesToBox() const;
  uint64_t BytesFromBox() const;
  Timing TimeAt(unsigned long rate) const;

  // The report as lines of text, and as one JSON object (UTF-8, whatever bytes the name
  // holds); name is the file's name as given.
  std::string Text(const std::string& name) const;
  std::string Json(const std::string& name) const;

 private:
  CDownloadImage m_image;
  CDownloadImage::Kind m_kind = CDownloadImage::kNone;
  std::vector<SectionFacts> m_sections;
  int64_t m_endOffset = -1;
  std::vector<std::string> m_problems;
  std::string m_why;

  void Explain(const std::vector<unsigned char>& contents, const std::vector<CDownloadImage::Section>& found);
};
