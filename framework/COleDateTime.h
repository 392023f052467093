// COleDateTime.h - a local date and time as days since 30 December 1899 (a floating value), with "now" and strftime-style formatting.
#pragma once

#include <windows.h>

#include <string>

#include "COleDateTimeSpan.h"

class COleDateTime {
 public:
  COleDateTime() = default;
  explicit COleDateTime(double dt) : m_dt(dt) {}
  explicit COleDateTime(const SYSTEMTIME& st);

  // The local time now, to the millisecond.
  static COleDateTime GetCurrentTime();

  // Calendar fields of the value (its fraction of a day rounded to whole seconds).
  SYSTEMTIME GetAsSystemTime() const;
  // strftime formatting of the value (%H, %M, %S, %Y, %m, %d, ...).
  std::string Format(const char* pFormat) const;

  COleDateTimeSpan operator-(const COleDateTime& other) const { return COleDateTimeSpan(m_dt - other.m_dt); }

  double m_dt = 0.0;
};
