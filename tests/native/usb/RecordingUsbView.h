// RecordingUsbView.h - a USB download view for tests: records lines, bars and messages in one ordered log.
//
// By default it answers WM_USB_DATA_SENT by running the end-of-data step of the
// attached job at once, on the calling thread, so request 7 comes before the first
// flash status request; it answers WM_USB_DOWNLOAD_DONE by giving the attached job back
// (EndDownloadJob), as the view does. Thread-safe.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DownloadJob.h"
#include "UsbDownloadView.h"

class RecordingUsbView : public IUsbDownloadView {
 public:
  void AddMessage(const char* text) override;
  void SetBarPos(UsbProgressBar bar, int pos) override;
  void SetBarText(UsbProgressBar bar, const char* text) override;
  intptr_t SendViewMessage(unsigned int msg) override;
  void RunDownloadCommand() override;
  void ControlsToData() override;
  void DataToControls() override;

  // The job whose end of data WM_USB_DATA_SENT runs and which WM_USB_DOWNLOAD_DONE gives
  // back (none: the messages are only recorded, WM_USB_DATA_SENT answered with dataSentAnswer).
  DownloadJob* job = nullptr;
  // false: WM_USB_DATA_SENT starts nothing and is answered with dataSentAnswer, so the
  // worker starts the end of data itself.
  bool endOfDataInline = true;
  intptr_t dataSentAnswer = 0;
  std::function<void()> onDownloadCommand;
  std::function<void(const std::string&)> onLine;

  // "line:Download Start", "download 99", "erase 40", "write 10", "text download Downloading",
  // "msg 07FD", "command", "controls in", "controls out".
  std::vector<std::string> Log() const;
  std::vector<std::string> Lines() const;
  // Positions given to one bar, in order.
  std::vector<int> Bar(UsbProgressBar bar) const;
  int Count(const std::string& entry) const;
  void Clear();

 private:
  void Record(const std::string& entry);
  mutable std::mutex m_mutex;
  std::vector<std::string> m_log;
  std::map<UsbProgressBar, std::vector<int>> m_bars;
};
