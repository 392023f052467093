#include "COleDateTime.h"

#include <cmath>
#include <ctime>

namespace {

// Days from 1 January 1970 to y-m-d (proleptic Gregorian), after Howard Hinnant's algorithm.
long long DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

const long long kEpochOffsetDays = 25569;  // 30 Dec 1899 to 1 Jan 1970

}  // namespace

COleDateTime::COleDateTime(const SYSTEMTIME& st) {
  const long long days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + kEpochOffsetDays;
  const double seconds = st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond + st.wMilliseconds / 1000.0;
  m_dt = static_cast<double>(days) + seconds / 86400.0;
}

COleDateTime COleDateTime::GetCurrentTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return COleDateTime(st);
}

SYSTEMTIME COleDateTime::GetAsSystemTime() const {
  long long days = static_cast<long long>(std::floor(m_dt));
  long long seconds = std::llround((m_dt - static_cast<double>(days)) * 86400.0);
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  // Civil date from days since 1970, the inverse of DaysFromCivil.
  long long z = days - kEpochOffsetDays + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);

  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(m);
  st.wDay = static_cast<WORD>(d);
  st.wDayOfWeek = static_cast<WORD>(((days - kEpochOffsetDays) % 7 + 11) % 7);  // 1 Jan 1970 was a Thursday
  st.wHour = static_cast<WORD>(seconds / 3600);
  st.wMinute = static_cast<WORD>(seconds / 60 % 60);
  st.wSecond = static_cast<WORD>(seconds % 60);
  return st;
}

std::string COleDateTime::Format(const char* pFormat) const {
  const SYSTEMTIME st = GetAsSystemTime();
  std::tm tm{};
  tm.tm_year = st.wYear - 1900;
  tm.tm_mon = st.wMonth - 1;
  tm.tm_mday = st.wDay;
  tm.tm_hour = st.wHour;
  tm.tm_min = st.wMinute;
  tm.tm_sec = st.wSecond;
  tm.tm_wday = st.wDayOfWeek;
  char text[256];
  const size_t length = std::strftime(text, sizeof text, pFormat ? pFormat : "", &tm);
  return std::string(text, length);
}
