#include "DownloadImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void CDownloadImage::Load(const std::vector<unsigned char>& contents) {
  m_nSize = static_cast<uint32_t>(contents.size());
  m_block.assign(contents.begin(), contents.end());
  m_block.push_back(0);
}

int32_t CDownloadImage::SectionLength(const unsigned char* record, int digSize64K, int digSize1K) {
  if (record[31] != 0)
    return static_cast<int32_t>((uint32_t(record[34]) << 24) | (uint32_t(record[35]) << 16) |
                                (uint32_t(record[36]) << 8) | uint32_t(record[37]));
  if (record[32] == 0) return 0x3800;
  if (record[33] != 0) return 65536 * digSize64K;
  return 1024 * digSize1K;
}

bool CDownloadImage::Holds(int64_t offset, int64_t length) const {
  return offset >= 0 && length >= 0 && offset + length <= static_cast<int64_t>(m_nSize);
}

int CDownloadImage::CopyRecord(int64_t offset, unsigned char out[kRecordSize]) const {
  std::memset(out, 0, kRecordSize);
  if (offset < 0 || offset >= static_cast<int64_t>(m_nSize)) return 0;
  const int n = static_cast<int>(std::min<int64_t>(kRecordSize, m_nSize - offset));
  std::memcpy(out, m_block.data() + offset, n);
  return n;
}

CDownloadImage::Kind CDownloadImage::Scan(int digSize64K, int digSize1K) const {
  Kind kind = kNone;
  int64_t offset = 0;
  int64_t remaining = static_cast<int32_t>(m_nSize);
  // Remaining counts payload only, so records without payload never bring it down: the
  // walk also ends where no further record fits in the image.
  while (remaining > 2048 && Holds(offset, kRecordSize)) {
    const unsigned char* record = m_block.data() + offset;
    offset += kHeaderAreaSize;
    if (record[31] != 0) return kProgram;
    if (record[32] == 1) {
      kind = kind == kAnal ? kDigAnal : kDig;
      int64_t skip = 0;
      if (record[33] == 1)
        skip = 65536LL * digSize64K + 1024LL * digSize1K;
      else if (record[33] == 0)
        skip = 1024LL * digSize1K;
      offset += skip;
      remaining -= skip;
    } else if (record[32] == 0) {
      kind = kind == kDig ? kDigAnal : kAnal;
      offset += 0x3800;
      remaining -= 0x3800;
    }
  }
  return kind;
}

std::string CDownloadImage::Walk(int digSize64K, int digSize1K, std::vector<Section>* sections,
                                 int64_t* endOffset) const {
  char text[160];
  int64_t offset = 0;
  for (;;) {
    if (offset + kRecordSize >= static_cast<int64_t>(m_nSize)) {
      if (offset < static_cast<int64_t>(m_nSize)) {  // the end record
        if (endOffset) *endOffset = offset;
        return "";
      }
      std::snprintf(text, sizeof text, "Image file is truncated: no end record after offset %lld.",
                    static_cast<long long>(offset));
      return text;
    }
    const int32_t length = SectionLength(m_block.data() + offset, digSize64K, digSize1K);
    const int64_t payload = offset + kHeaderAreaSize;
    if (length < 0 || !Holds(payload, length)) {
      std::snprintf(text, sizeof text,
                    "Image file is truncated: the section at offset %lld needs %lu payload bytes, %lld remain.",
                    static_cast<long long>(offset), static_cast<unsigned long>(static_cast<uint32_t>(length)),
                    std::max<long long>(0, static_cast<long long>(m_nSize) - payload));
      return text;
    }
    if (sections) sections->push_back(Section{offset, length});
    offset = payload + length;
  }
}
