// RunLog.h - the flasher's log: one JSON object a line, appended to a file and flushed line by line.
//
// Format 1 (the "format" key of every line). A run starts with a "run" line (the tool's and
// the library's versions, the ports, rate and image); every box that got a summary line
// adds a "box" line when it ends. One process writes the file: with several ports the
// children hand their box lines to the parent, which writes whole lines only. Used on one
// thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CDownloadTracker;

class CRunLog {
 public:
  static constexpr int kFormat = 1;

  // What a box line says besides its tracker.
  struct BoxFacts {
    std::string port;
    int number = 0;
    unsigned long baud = 0;
    std::string image;
    uint32_t imageSize = 0;
    uint32_t imageCrc32 = 0;
    bool imageRead = false;  // size and CRC known
    int64_t armedMs = 0;     // Unix time in ms when the port was armed for it
    int64_t startMs = 0;     // of its first SYNC; 0: it never came
    int status = 0;
  };

  CRunLog() = default;
  ~CRunLog();
  CRunLog(const CRunLog&) = delete;
  CRunLog& operator=(const CRunLog&) = delete;

  // Opens the file for appending; false with the reason.
  bool Open(const std::string& path, std::string& reason);
  const std::string& Path() const { return m_path; }

  // Appends one line and flushes it; false (and Failed from then on) when it cannot.
  bool Append(const std::string& line);
  bool Failed() const { return m_failed; }

  static std::string RunLine(int64_t timeMs, const std::string& toolVersion, const std::string& libraryVersion,
                             const std::vector<std::string>& ports, unsigned long baud, const std::string& image,
                             bool each);
  static std::string BoxLine(const BoxFacts& facts, const CDownloadTracker& tracker, double now);
  // "2026-12-08T13:29:25.123Z"
  static std::string IsoTime(int64_t unixMs);

 private:
  std::string m_path;
  std::FILE* m_file = nullptr;
  bool m_failed = false;
};
