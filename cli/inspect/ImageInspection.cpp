#include "ImageInspection.h"

#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "Utf8Text.h"

#include "VelOldManagerProcessor.h"

const unsigned long CImageInspection::kRates[5] = {9600, 19200, 38400, 57600, 115200};

namespace {

constexpr int kBlockData = CVelOldManagerProcessor::kBlockDataSize;
constexpr int kBlockFrame = CVelOldManagerProcessor::kBlockFrameSize;
constexpr int kHeaderFrame = CVelOldManagerProcessor::kDataHeaderSize;
// What the PC pauses for: 200 ms before and after reopening at the download's rate, 1 ms
// after every frame, 500 ms twice at completion.
constexpr double kRateSwitchPause = 0.4;
constexpr double kFramePause = 0.001;
constexpr double kCompletionPause = 1.0;

const char* KindName(const CImageInspection::SectionFacts& s) {
  if (s.program) return "program";
  if (s.dataKind == 0) return "ANAL";
  if (s.dataKind == 1) return "DIG";
  return "none";
}

const char* UnitName(const CImageInspection::SectionFacts& s) {
  if (s.program || s.dataKind != 1) return "-";
  return s.unit != 0 ? "64K" : "1K";
}

}  // namespace

CImageInspection::CImageInspection(const std::vector<unsigned char>& contents) {
  m_image.Load(contents);
  std::vector<CDownloadImage::Section> found;
  const std::string layout = m_image.Walk(kDigSize64K, kDigSize1K, &found, &m_endOffset);
  if (!layout.empty()) m_endOffset = -1;
  for (const CDownloadImage::Section& s : found) {
    unsigned char record[CDownloadImage::kRecordSize];
    m_image.CopyRecord(s.offset, record);
    SectionFacts f;
    f.offset = s.offset;
    f.flag = record[0];
    f.program = record[31] != 0;
    f.dataKind = record[32];
    f.unit = record[33];
    f.length = s.length;
    f.blocks = s.length == 0 ? 1 : (s.length + kBlockData - 1) / kBlockData;
    f.lastBlockPayload = s.length - (f.blocks - 1) * kBlockData;
    m_sections.push_back(f);
  }
  // The function request: the scan decides, then the walk may still refuse the image.
  m_kind = m_image.Scan(kDigSize64K, kDigSize1K);
  if (m_kind != CDownloadImage::kNone && !layout.empty()) m_problems.push_back(layout);
  if (m_kind == CDownloadImage::kNone || !layout.empty()) m_problems.push_back("Image file is invalid.");
  if (!Accepted()) Explain(contents, found);
}

void CImageInspection::Explain(const std::vector<unsigned char>& contents,
                               const std::vector<CDownloadImage::Section>& found) {
  const uint32_t size = Size();
  char text[256];
  if (size <= 2048) {
    if (!m_sections.empty() && HasEndRecord()) {
      std::snprintf(text, sizeof text,
                    "the library looks for sections only in images of more than 2048 bytes; this one has %lu",
                    static_cast<unsigned long>(size));
      m_why = text;
    }
    return;
  }
  // Every record the walk met could be the end record of a whole image: the first such image
  // that the library takes shows where the stray bytes begin.
  std::vector<int64_t> records;
  for (const CDownloadImage::Section& s : found) records.push_back(s.offset);
  const int64_t next = found.empty() ? 0 : found.back().offset + CDownloadImage::kHeaderAreaSize + found.back().length;
  records.push_back(next);
  constexpr std::size_t kMostTried = 64;  // enough for any real image; bounds the work on odd ones
  if (records.size() > kMostTried) records.erase(records.begin(), records.end() - kMostTried);
  for (int64_t record : records) {
    const int64_t whole = record + CDownloadImage::kRecordSize;
    if (record == 0 || whole >= static_cast<int64_t>(size)) continue;
    const std::vector<unsigned char> prefix(contents.begin(), contents.begin() + whole);
    if (!CImageInspection(prefix).Accepted()) continue;
    std::snprintf(text, sizeof text,
                  "a whole image ends at byte %lld (its end record at offset %lld); the %lld bytes after it are "
                  "stray and the library reads them as sections",
                  static_cast<long long>(whole), static_cast<long long>(record),
                  static_cast<long long>(size - whole));
    m_why = text;
    return;
  }
}

unsigned char CImageInspection::FunctionCode() const {
  return Accepted() ? CVelOldManagerProcessor::FunctionCode(m_kind) : 0;
}

const char* CImageInspection::FunctionName() const {
  return Accepted() ? CVelOldManagerProcessor::FunctionName(m_kind) : nullptr;
}

int CImageInspection::EndRecordBytes() const {
  if (!HasEndRecord()) return 0;
  const int64_t left = static_cast<int64_t>(Size()) - m_endOffset;
  return static_cast<int>(left < CDownloadImage::kRecordSize ? left : CDownloadImage::kRecordSize);
}

uint64_t CImageInspection::BytesToBox() const {
  if (!Accepted()) return 0;
  uint64_t n = 4;  // SYNC echo, baud code, READY_ACK, function code
  for (const SectionFacts& s : m_sections) n += kHeaderFrame + uint64_t(s.blocks) * kBlockFrame;
  return n + kHeaderFrame;  // the end header
}

uint64_t CImageInspection::BytesFromBox() const {
  if (!Accepted()) return 0;
  uint64_t n = 4;  // SYNC, READY, FUNC, the function echo
  for (const SectionFacts& s : m_sections) n += 1 + 2 * uint64_t(s.blocks);  // HEADER_REP, block requests
  return n + 1;  // the HEADER_REP for the end header
}

CImageInspection::Timing CImageInspection::TimeAt(unsigned long rate) const {
  Timing t{rate, 0, 0};
  if (!Accepted() || rate == 0) return t;
  // SYNC and its echo with the baud code go at 9600; everything after at the download's rate.
  const uint64_t rest = BytesToBox() + BytesFromBox() - 3;
  t.lineSeconds = 3 * 10.0 / 9600 + rest * 10.0 / rate;
  uint64_t frames = m_sections.size() + 1;
  for (const SectionFacts& s : m_sections) frames += s.blocks;
  t.pauseSeconds = (rate != 9600 ? kRateSwitchPause : 0) + frames * kFramePause + kCompletionPause;
  return t;
}

std::string CImageInspection::Text(const std::string& name) const {
  std::string out;
  char line[256];
  auto add = [&](const char* format, auto... args) {
    std::snprintf(line, sizeof line, format, args...);
    out += line;
  };
  out += "image     " + name + "\n";
  add("size      %lu bytes\n", static_cast<unsigned long>(Size()));
  if (Accepted())
    add("function  0x%02X %s\n", FunctionCode(), FunctionName());
  else
    out += "function  none\n";
  add("sections  %u\n", static_cast<unsigned>(m_sections.size()));
  if (!m_sections.empty()) out += "     #      offset  flag  type     kind  unit    payload  blocks   last\n";
  for (std::size_t i = 0; i < m_sections.size(); ++i) {
    const SectionFacts& s = m_sections[i];
    add("  %4u  %10lld  0x%02X  %-7s  %-4s  %-4s  %9ld  %6d  %5d\n", static_cast<unsigned>(i + 1),
        static_cast<long long>(s.offset), s.flag, s.program ? "program" : "data", KindName(s), UnitName(s),
        static_cast<long>(s.length), s.blocks, s.lastBlockPayload);
  }
  if (HasEndRecord())
    add("end       offset %lld, %d of 44 bytes%s\n", static_cast<long long>(m_endOffset), EndRecordBytes(),
        EndRecordBytes() < 44 ? " (the rest is sent as zeros)" : "");
  for (const std::string& p : m_problems) out += "refused   " + p + "\n";
  if (!m_why.empty()) out += "why       " + m_why + "\n";
  if (!Accepted()) return out;
  add("line      %llu bytes PC to box, %llu bytes box to PC\n", static_cast<unsigned long long>(BytesToBox()),
      static_cast<unsigned long long>(BytesFromBox()));
  for (unsigned long rate : kRates) {
    const Timing t = TimeAt(rate);
    add("time      %6lu baud  %9.2f s  (line %.2f s, pauses %.2f s)\n", rate, t.Total(), t.lineSeconds,
        t.pauseSeconds);
  }
  return out;
}

std::string CImageInspection::Json(const std::string& name) const {
  using Json = nlohmann::ordered_json;
  // Three decimals, as the text shows them.
  auto seconds = [](double s) { return std::round(s * 1000) / 1000; };
  Json report;
  report["image"] = Utf8FromNative(name);
  report["size"] = Size();
  report["accepted"] = Accepted();
  report["problems"] = m_problems;
  report["why"] = m_why.empty() ? Json() : Json(m_why);
  report["function"] = Accepted() ? Json{{"code", FunctionCode()}, {"name", FunctionName()}} : Json();
  Json sections = Json::array();
  for (const SectionFacts& s : m_sections)
    sections.push_back({{"offset", s.offset}, {"flag", s.flag}, {"type", s.program ? "program" : "data"},
                        {"kind", KindName(s)}, {"unit", UnitName(s)}, {"payload", s.length}, {"blocks", s.blocks},
                        {"last_block_payload", s.lastBlockPayload}});
  report["sections"] = sections;
  report["end_record"] = HasEndRecord() ? Json{{"offset", m_endOffset}, {"bytes", EndRecordBytes()}} : Json();
  report["bytes_to_box"] = BytesToBox();
  report["bytes_from_box"] = BytesFromBox();
  Json times = Json::array();
  if (Accepted())
    for (unsigned long rate : kRates) {
      const Timing t = TimeAt(rate);
      times.push_back({{"baud", t.rate}, {"seconds", seconds(t.Total())}, {"line_seconds", seconds(t.lineSeconds)},
                       {"pause_seconds", seconds(t.pauseSeconds)}});
    }
  report["times"] = times;
  return report.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}
