// COleDateTimeSpan.h - the difference of two date-times, in days as a floating value.
#pragma once

class COleDateTimeSpan {
 public:
  COleDateTimeSpan() = default;
  explicit COleDateTimeSpan(double days) : m_span(days) {}

  double GetTotalDays() const { return m_span; }
  double GetTotalSeconds() const { return m_span * 86400.0; }

  double m_span = 0.0;
};
