#include "ImageInspection.h"

#include <cstdio>

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

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

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
  add("image     %s\n", name.c_str());
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
  for (const std::string& p : m_problems) add("refused   %s\n", p.c_str());
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
  std::string out;
  char buf[256];
  auto add = [&](const char* format, auto... args) {
    std::snprintf(buf, sizeof buf, format, args...);
    out += buf;
  };
  out += "{\"image\": " + JsonString(name);
  add(", \"size\": %lu", static_cast<unsigned long>(Size()));
  add(", \"accepted\": %s", Accepted() ? "true" : "false");
  out += ", \"problems\": [";
  for (std::size_t i = 0; i < m_problems.size(); ++i) out += (i ? ", " : "") + JsonString(m_problems[i]);
  out += "]";
  if (Accepted())
    add(", \"function\": {\"code\": %d, \"name\": \"%s\"}", FunctionCode(), FunctionName());
  else
    out += ", \"function\": null";
  out += ", \"sections\": [";
  for (std::size_t i = 0; i < m_sections.size(); ++i) {
    const SectionFacts& s = m_sections[i];
    add("%s{\"offset\": %lld, \"flag\": %d, \"type\": \"%s\", \"kind\": \"%s\", \"unit\": \"%s\"", i ? ", " : "",
        static_cast<long long>(s.offset), s.flag, s.program ? "program" : "data", KindName(s), UnitName(s));
    add(", \"payload\": %ld, \"blocks\": %d, \"last_block_payload\": %d}", static_cast<long>(s.length), s.blocks,
        s.lastBlockPayload);
  }
  out += "]";
  if (HasEndRecord())
    add(", \"end_record\": {\"offset\": %lld, \"bytes\": %d}", static_cast<long long>(m_endOffset),
        EndRecordBytes());
  else
    out += ", \"end_record\": null";
  add(", \"bytes_to_box\": %llu, \"bytes_from_box\": %llu", static_cast<unsigned long long>(BytesToBox()),
      static_cast<unsigned long long>(BytesFromBox()));
  out += ", \"times\": [";
  if (Accepted())
    for (std::size_t i = 0; i < 5; ++i) {
      const Timing t = TimeAt(kRates[i]);
      add("%s{\"baud\": %lu, \"seconds\": %.3f, \"line_seconds\": %.3f, \"pause_seconds\": %.3f}", i ? ", " : "",
          t.rate, t.Total(), t.lineSeconds, t.pauseSeconds);
    }
  return out + "]}\n";
}
