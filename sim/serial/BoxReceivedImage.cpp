#include "BoxReceivedImage.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "BoxSectionRecord.h"

namespace {
constexpr size_t kHeaderFrame = 64;
}

void CBoxReceivedImage::Clear() {
  m_bytes.clear();
  m_regions.clear();
}

void CBoxReceivedImage::AddRegion(const uint8_t* data, size_t size, RegionKind kind, int section) {
  if (size == 0) return;
  // Consecutive blocks of one payload make one region.
  if (!m_regions.empty() && m_regions.back().kind == kind && m_regions.back().section == section &&
      kind == kPayload)
    m_regions.back().size += size;
  else
    m_regions.push_back({m_bytes.size(), size, kind, section});
  m_bytes.insert(m_bytes.end(), data, data + size);
}

void CBoxReceivedImage::AddHeader(const uint8_t* frame, int section) {
  AddRegion(frame, CBoxSectionRecord::kSize, kRecord, section);
  AddRegion(frame + CBoxSectionRecord::kSize, kHeaderFrame - CBoxSectionRecord::kSize, kFiller, section);
}

void CBoxReceivedImage::AddPayload(const uint8_t* data, size_t size, int section) {
  AddRegion(data, size, kPayload, section);
}

void CBoxReceivedImage::AddEndRecord(const uint8_t* record) { AddRegion(record, CBoxSectionRecord::kSize, kEndRecord, 0); }

bool CBoxReceivedImage::Ignored(const SRegion& region, size_t offset) const {
  return region.kind == kFiller || (region.kind == kEndRecord && offset == region.start);
}

std::string CBoxReceivedImage::Where(size_t offset) const {
  char text[96];
  for (const SRegion& r : m_regions) {
    if (offset < r.start || offset >= r.start + r.size) continue;
    size_t at = offset - r.start;
    switch (r.kind) {
      case kRecord: std::snprintf(text, sizeof text, "section %d record, byte %zu", r.section, at); break;
      case kFiller: std::snprintf(text, sizeof text, "section %d header filler, byte %zu", r.section, at); break;
      case kPayload:
        std::snprintf(text, sizeof text, "section %d payload, byte %zu of %zu", r.section, at, r.size);
        break;
      case kEndRecord: std::snprintf(text, sizeof text, "end record, byte %zu", at); break;
    }
    return text;
  }
  return "beyond the received image";
}

SBoxImageComparison CBoxReceivedImage::Compare(const std::vector<uint8_t>& file, size_t maxRuns) const {
  SBoxImageComparison result;
  char text[256];
  size_t runs = 0;
  auto addRun = [&](size_t start, size_t end, size_t count) {
    result.equal = false;
    if (runs++ >= maxRuns) return;
    std::snprintf(text, sizeof text,
                  "offset %zu (%s): received 0x%02x, file 0x%02x; %zu of the %zu bytes up to offset %zu differ", start,
                  Where(start).c_str(), m_bytes[start], file[start], count, end - start + 1, end);
    result.differences.push_back(text);
  };

  // A run: differing bytes no further than 16 apart.
  size_t shared = std::min(m_bytes.size(), file.size());
  size_t runStart = 0, runEnd = 0, runCount = 0;
  bool inRun = false;
  size_t regionIndex = 0;
  for (size_t i = 0; i < shared; ++i) {
    while (regionIndex < m_regions.size() && i >= m_regions[regionIndex].start + m_regions[regionIndex].size)
      ++regionIndex;
    if (regionIndex < m_regions.size() && Ignored(m_regions[regionIndex], i)) continue;
    if (m_bytes[i] == file[i]) continue;
    if (inRun && i - runEnd > 16) {
      addRun(runStart, runEnd, runCount);
      inRun = false;
    }
    if (!inRun) {
      inRun = true;
      runStart = i;
      runCount = 0;
    }
    runEnd = i;
    ++runCount;
  }
  if (inRun) addRun(runStart, runEnd, runCount);
  if (runs > maxRuns) {
    std::snprintf(text, sizeof text, "and %zu more differing runs", runs - maxRuns);
    result.differences.push_back(text);
  }

  if (m_bytes.size() < file.size()) {
    result.equal = false;
    std::snprintf(text, sizeof text,
                  "received %zu bytes, the file has %zu: its bytes from offset %zu on were not received",
                  m_bytes.size(), file.size(), m_bytes.size());
    result.differences.push_back(text);
  } else if (m_bytes.size() > file.size()) {
    result.equal = false;
    std::snprintf(text, sizeof text, "received %zu bytes, the file has %zu: %zu bytes from offset %zu (%s) lie beyond its end",
                  m_bytes.size(), file.size(), m_bytes.size() - file.size(), file.size(), Where(file.size()).c_str());
    result.differences.push_back(text);
  }
  return result;
}
