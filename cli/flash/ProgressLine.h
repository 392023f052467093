// ProgressLine.h - one line of a console that rewrites itself in place, cleared before any other line is written.
//
// Writes through the function it is given; used on one thread.
#pragma once

#include <functional>
#include <string>

class CProgressLine {
 public:
  explicit CProgressLine(std::function<void(const std::string&)> write) : m_write(std::move(write)) {}

  // Puts text in place of what the line showed (an empty text clears it).
  void Show(std::string text);
  // Blanks the line and puts the cursor at its start, so the next line starts clean.
  void Clear();
  bool Shown() const { return m_width > 0; }

 private:
  std::function<void(const std::string&)> m_write;
  std::size_t m_width = 0;
};
