#include "ProgressLine.h"

void CProgressLine::Show(std::string text) {
  const std::size_t width = text.size();
  if (text.size() < m_width) text.append(m_width - text.size(), ' ');
  m_write("\r" + text + (width == 0 ? "\r" : ""));
  m_width = width;
}

void CProgressLine::Clear() {
  if (m_width == 0) return;
  m_write("\r" + std::string(m_width, ' ') + "\r");
  m_width = 0;
}
