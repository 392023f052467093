#include "RecordingUsbView.h"

#include <algorithm>
#include <cstdio>

#include "DownloadWorker.h"
#include "UsbMessages.h"

namespace {

const char* BarName(UsbProgressBar bar) {
  switch (bar) {
    case UsbProgressBar::kDownload: return "download";
    case UsbProgressBar::kErase: return "erase";
    case UsbProgressBar::kWrite: return "write";
  }
  return "?";
}

}  // namespace

void RecordingUsbView::Record(const std::string& entry) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.push_back(entry);
}

void RecordingUsbView::AddMessage(const char* text) {
  Record(std::string("line:") + text);
  if (onLine) onLine(text);
}

void RecordingUsbView::SetBarPos(UsbProgressBar bar, int pos) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bars[bar].push_back(pos);
  }
  Record(std::string(BarName(bar)) + " " + std::to_string(pos));
}

void RecordingUsbView::SetBarText(UsbProgressBar bar, const char* text) {
  Record(std::string("text ") + BarName(bar) + " " + text);
}

intptr_t RecordingUsbView::SendViewMessage(unsigned int msg) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "msg %04X", msg);
  Record(buf);
  if (msg == WM_USB_DATA_SENT && job && endOfDataInline && job->endOfData) {
    EndOfDataThread(job->endOfData.get());
    return 1;
  }
  if (msg == WM_USB_DOWNLOAD_DONE && job) EndDownloadJob(*job);
  return msg == WM_USB_DATA_SENT ? dataSentAnswer : 0;
}

void RecordingUsbView::RunDownloadCommand() {
  Record("command");
  if (onDownloadCommand) onDownloadCommand();
}

void RecordingUsbView::ControlsToData() { Record("controls in"); }

void RecordingUsbView::DataToControls() { Record("controls out"); }

std::vector<std::string> RecordingUsbView::Log() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_log;
}

std::vector<std::string> RecordingUsbView::Lines() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<std::string> out;
  for (const std::string& e : m_log)
    if (e.compare(0, 5, "line:") == 0) out.push_back(e.substr(5));
  return out;
}

std::vector<int> RecordingUsbView::Bar(UsbProgressBar bar) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_bars.find(bar);
  return it == m_bars.end() ? std::vector<int>() : it->second;
}

int RecordingUsbView::Count(const std::string& entry) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return static_cast<int>(std::count(m_log.begin(), m_log.end(), entry));
}

void RecordingUsbView::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.clear();
  m_bars.clear();
}
