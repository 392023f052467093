#include "RunLog.h"

#include <cerrno>
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

#include "DownloadTracker.h"
#include "Utf8Text.h"

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

Json Texts(const std::vector<std::string>& texts) {
  Json list = Json::array();
  for (const std::string& t : texts) list.push_back(Utf8FromNative(t));
  return list;
}

}  // namespace

CRunLog::~CRunLog() {
  if (m_file) std::fclose(m_file);
}

bool CRunLog::Open(const std::string& path, std::string& reason) {
  m_path = path;
  m_file = std::fopen(path.c_str(), "ab");
  if (!m_file) {
    reason = "cannot open " + path + " for appending: " + std::strerror(errno);
    return false;
  }
  return true;
}

bool CRunLog::Append(const std::string& line) {
  if (!m_file || m_failed) return false;
  // A line that does not end in a newline would join the next one: never write part of one.
  std::string whole = line;
  if (whole.empty() || whole.back() != '\n') whole += '\n';
  if (std::fwrite(whole.data(), 1, whole.size(), m_file) != whole.size() || std::fflush(m_file) != 0)
    m_failed = true;
  return !m_failed;
}

std::string CRunLog::IsoTime(int64_t unixMs) {
  // Days to a civil date (proleptic Gregorian), after Howard Hinnant's days_from_civil inverse.
  int64_t days = unixMs >= 0 ? unixMs / 86400000 : -((-unixMs + 86399999) / 86400000);
  const int64_t msOfDay = unixMs - days * 86400000;
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  char text[40];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(msOfDay / 3600000),
                static_cast<long long>(msOfDay / 60000 % 60), static_cast<long long>(msOfDay / 1000 % 60),
                static_cast<long long>(msOfDay % 1000));
  return text;
}

std::string CRunLog::RunLine(int64_t timeMs, const std::string& toolVersion, const std::string& libraryVersion,
                             const std::vector<std::string>& ports, unsigned long baud, const std::string& image,
                             bool each) {
  Json run;
  run["format"] = kFormat;
  run["record"] = "run";
  run["time"] = IsoTime(timeMs);
  run["velflash"] = toolVersion;
  run["library"] = libraryVersion;
  run["ports"] = ports;
  run["baud"] = baud;
  run["image"] = Utf8FromNative(image);
  run["each"] = each;
  return Dump(run);
}

std::string CRunLog::BoxLine(const BoxFacts& f, const CDownloadTracker& tracker, double now) {
  Json box;
  box["format"] = kFormat;
  box["record"] = "box";
  box["port"] = f.port;
  box["box"] = f.number;
  box["armed"] = IsoTime(f.armedMs);
  box["start"] = f.startMs ? Json(IsoTime(f.startMs)) : Json();
  box["seconds"] = std::round(tracker.Seconds(now) * 1000) / 1000;
  box["baud"] = f.baud;
  box["image"] = Utf8FromNative(f.image);
  box["image_size"] = f.imageRead ? Json(f.imageSize) : Json();
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08lx", static_cast<unsigned long>(f.imageCrc32));
  box["image_crc32"] = f.imageRead ? Json(crc) : Json();
  box["payload_bytes"] = tracker.Reached();
  box["result"] = CDownloadTracker::Key(tracker.Result());
  box["status"] = f.status;
  box["box_report_count"] = tracker.BoxReports();
  box["box_reports"] = Texts(tracker.BoxReportTexts());
  box["errors"] = Texts(tracker.ErrorTexts());
  box["errors_left_out"] = tracker.ErrorsLeftOut();
  return Dump(box);
}
