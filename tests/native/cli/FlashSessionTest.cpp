// The flasher's session on a scripted library: what a run prints, records and ends with,
// box by box, in line mode and out of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

#include "FlashSession.h"
#include "ImageFile.h"
#include "ImageBuilder.h"
#include "ManagerEvents.h"
#include "ScriptedPlatform.h"

namespace {

// One thing that happens during a run.
enum Step {
  kDownload,       // a box goes through a whole download of 14444 bytes in 2 s
  kBegin,          // a box starts: SYNC (total) and the first blocks
  kErrorReport,    // the box reports a checksum error
  kSilence,        // the library's 120 s timer fires
  kContactTimer,   // --timeout's timer fires, if it runs
  kDeadlineTimer,  // --deadline's timer fires, if it runs
  kLostPort,       // the library reports the port gone
  kWriteFailed,    // the library reports a failed write
  kStop,           // Ctrl-C; the library confirms the cancel
  kStopSilentBox,  // Ctrl-C while the box sends nothing: the library does not confirm
  kStopAsBoxCompletes,  // Ctrl-C as the end header goes out: the box completes during the wait
};

const std::string kImage = "flash-session-test.img";
const std::string kCutImage = "flash-session-test-cut.img";

struct SessionRun {
  ScriptedPlatform platform;
  CFlashOptions options;
  std::unique_ptr<CFlashSession> session;
  int status = -1;

  explicit SessionRun(bool each, CRunLog* log = nullptr, const std::string& image = kImage) {
    options.image = image;
    options.each = each;
    options.timeout = 30;
    options.deadline = 60;
    log_ = log;
  }

  void Play(const std::vector<Step>& steps) {
    session.reset(new CFlashSession(options, platform, log_));
    session->Start();
    for (Step s : steps) {
      if (session->Finished()) break;
      platform.now += 1;
      switch (s) {
        case kDownload:
          Begin();
          platform.now += 2;
          session->OnEvent("14444l", EVENT_PROGRESS);
          session->OnEvent("Download Completed!", EVENT_MESSAGE);
          session->OnEvent(nullptr, EVENT_COMPLETE);
          break;
        case kBegin:
          Begin();
          break;
        case kErrorReport:
          session->OnEvent("Checksum check", EVENT_ERROR);
          break;
        case kSilence:
          platform.now += 120;
          session->OnTimer(kSilenceTimerId);
          break;
        case kContactTimer:
          Fire(CFlashSession::kContactTimer);
          break;
        case kDeadlineTimer:
          Fire(CFlashSession::kDeadlineTimer);
          break;
        case kLostPort:
          session->OnEvent("Lost COM1 (error 5): check the cable or the USB-serial adapter.", EVENT_ERROR);
          break;
        case kWriteFailed:
          session->OnEvent("CComPort::WriteData() - WriteFile() Failed : 5", EVENT_ERROR);
          break;
        case kStop:
          platform.cancelConfirmed = true;
          platform.duringCancel = [this] { session->OnEvent("Canceled...", EVENT_MESSAGE); };
          session->OnStopRequest();
          break;
        case kStopSilentBox:
          platform.cancelConfirmed = false;
          platform.duringCancel = nullptr;
          session->OnStopRequest();
          break;
        case kStopAsBoxCompletes:
          platform.cancelConfirmed = false;
          platform.duringCancel = [this] {
            session->OnEvent("14444l", EVENT_PROGRESS);
            session->OnEvent(nullptr, EVENT_COMPLETE);
          };
          session->OnStopRequest();
          break;
      }
    }
    if (!session->Finished()) return;  // the caller goes on
    session->BeforeClose();
    status = session->Close();
  }

  void Begin() {
    session->OnEvent("14444l", EVENT_TOTAL);
    session->OnEvent("4160l", EVENT_PROGRESS);
  }
  void Fire(unsigned timer) {
    if (platform.timers.count(timer)) session->OnTimer(timer);
  }

  std::vector<std::string> Lines() const { return ScriptedPlatform::Lines(platform.out); }
  // The summary lines and the count line: the lines that do not come from the library.
  std::vector<std::string> Summaries() const {
    std::vector<std::string> out;
    for (const std::string& l : Lines())
      if (l.compare(0, 4, "box ") == 0 || l.find("box(es) served") != std::string::npos) out.push_back(l);
    return out;
  }

 private:
  CRunLog* log_ = nullptr;
};

class FlashSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const Bytes image = ImageBuilder().Anal().End().Get();
    std::ofstream(kImage, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    std::ofstream(kCutImage, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), 9000);
  }
  static void TearDownTestSuite() {
    std::remove(kImage.c_str());
    std::remove(kCutImage.c_str());
  }
};

}  // namespace

TEST_F(FlashSession, LineModeCountsBoxesAndEndsWithTheFirstFailure) {
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> summaries;
    int status;
  } cases[] = {
      {"two boxes, Ctrl-C while waiting for the third",
       {kDownload, kDownload, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 14444 bytes, 2.0 s, downloaded", "2 box(es) served"},
       0},
      {"Ctrl-C right after the first box finished",
       {kDownload, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "1 box(es) served"},
       0},
      {"Ctrl-C right after a box fell silent",
       {kBegin, kSilence, kStop},
       {"box 1: 4160 bytes, 121.0 s, box silent", "1 box(es) served, 1 not downloaded"},
       5},
      {"the first box that failed decides the status",
       {kDownload, kBegin, kSilence, kBegin, kDeadlineTimer, kDownload, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 4160 bytes, 121.0 s, box silent",
        "box 3: 4160 bytes, 1.0 s, deadline passed", "box 4: 14444 bytes, 2.0 s, downloaded",
        "4 box(es) served, 2 not downloaded"},
       5},
      {"Ctrl-C during the second box's download",
       {kDownload, kBegin, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 4160 bytes, 1.0 s, stopped",
        "2 box(es) served, 1 not downloaded"},
       130},
      {"Ctrl-C before any box came", {kStop}, {"0 box(es) served"}, 130},
      {"Ctrl-C as the box completes",
       {kBegin, kStopAsBoxCompletes},
       {"box 1: 14444 bytes, 1.0 s, downloaded", "1 box(es) served"},
       0},
      {"no next box within --timeout ends the line",
       {kDownload, kContactTimer},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 0 bytes, 0.0 s, no box", "1 box(es) served"},
       7},
      {"a lost port ends the line, after a failure",
       {kBegin, kSilence, kLostPort},
       {"box 1: 4160 bytes, 121.0 s, box silent", "box 2: 0 bytes, 0.0 s, port lost",
        "1 box(es) served, 1 not downloaded"},
       5},
  };
  for (const auto& c : cases) {
    SessionRun run(true);
    run.Play(c.steps);
    ASSERT_TRUE(run.session->Finished()) << c.what;
    EXPECT_EQ(c.summaries, run.Summaries()) << c.what << "\n" << run.platform.out;
    EXPECT_EQ(c.status, run.status) << c.what;
    EXPECT_FALSE(run.platform.portOpen) << c.what;
    EXPECT_TRUE(run.platform.timers.empty()) << c.what;
  }
}

TEST_F(FlashSession, LineModeArmsTheNextBoxWithinTheCompletion) {
  SessionRun run(true);
  run.Play({kDownload});
  EXPECT_EQ(2, run.platform.arms);
  EXPECT_TRUE(run.platform.portOpen);
  EXPECT_EQ("N: box 2: waiting for the box", run.Lines().back());
  run.session->OnStopRequest();
  run.session->BeforeClose();
  EXPECT_EQ(0, run.session->Close());
}

TEST_F(FlashSession, OneBoxEndsTheRunWithItsStatusAndWords) {
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::string summary;
    int status;
    std::string error;  // standard error
  } cases[] = {
      {"downloaded", {kDownload}, "box 1: 14444 bytes, 2.0 s, downloaded", 0, ""},
      {"restarted after an error report", {kBegin, kErrorReport, kDownload},
       "box 1: 14444 bytes, 4.0 s, downloaded (1 error report)", 0, ""},
      {"silent", {kBegin, kSilence}, "box 1: 4160 bytes, 121.0 s, box silent", 5,
       "velflash: COM1: the box sent nothing for 120 s: check the cable and the box's power\n"},
      {"port lost", {kBegin, kLostPort}, "box 1: 4160 bytes, 1.0 s, port lost", 3,
       "velflash: COM1: the port was lost: check the cable or the USB-serial adapter\n"},
      {"write failed", {kBegin, kWriteFailed}, "box 1: 4160 bytes, 1.0 s, port lost", 3,
       "velflash: COM1: the port was lost: check the cable or the USB-serial adapter\n"},
      {"no box within --timeout", {kContactTimer}, "box 1: 0 bytes, 0.0 s, no box", 7,
       "velflash: COM1: no box started within 30 s: check the cable and that the box is powered and waiting for "
       "a download\n"},
      {"--timeout ends with the box's first SYNC", {kBegin, kContactTimer, kDownload},
       "box 1: 14444 bytes, 4.0 s, downloaded", 0, ""},
      {"not done within --deadline", {kBegin, kDeadlineTimer}, "box 1: 4160 bytes, 1.0 s, deadline passed", 8,
       "velflash: COM1: the box did not finish within 60 s\n"},
      {"Ctrl-C, the library cancels", {kBegin, kStop}, "box 1: 4160 bytes, 1.0 s, stopped", 130,
       "velflash: COM1: stopped by Ctrl-C\n"},
      {"Ctrl-C, the box says nothing more", {kBegin, kStopSilentBox}, "box 1: 4160 bytes, 1.0 s, stopped", 130,
       "velflash: COM1: stopped by Ctrl-C\n"},
      {"Ctrl-C before the box came", {kStop}, "box 1: 0 bytes, 0.0 s, stopped", 130,
       "velflash: COM1: stopped by Ctrl-C\n"},
  };
  for (const auto& c : cases) {
    SessionRun run(false);
    run.Play(c.steps);
    ASSERT_TRUE(run.session->Finished()) << c.what;
    EXPECT_EQ(std::vector<std::string>{c.summary}, run.Summaries()) << c.what << "\n" << run.platform.out;
    EXPECT_EQ(c.status, run.status) << c.what;
    EXPECT_EQ(c.error, run.platform.err) << c.what;
    EXPECT_EQ(1, run.platform.arms) << c.what;
    EXPECT_FALSE(run.platform.portOpen) << c.what;
  }
}

TEST_F(FlashSession, ImageAndPortFailuresEndTheRunBeforeAnyBox) {
  SessionRun cut(true, nullptr, kCutImage);
  cut.Play({});
  EXPECT_EQ(4, cut.status);
  EXPECT_EQ(0, cut.platform.arms);  // the port never opened
  EXPECT_EQ((std::vector<std::string>{
                "E: Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                "E: Image file is invalid.", "box 1: 0 bytes, 0.0 s, image refused", "0 box(es) served"}),
            cut.Lines());
  EXPECT_EQ("velflash: COM1: box 1: the library refuses " + kCutImage +
                ": Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.\n",
            cut.platform.err);

  SessionRun busy(false);
  busy.platform.portOpens = false;
  busy.Play({});
  EXPECT_EQ(3, busy.status);
  EXPECT_EQ(std::vector<std::string>{"box 1: 0 bytes, 0.0 s, port failed"}, busy.Summaries());
}

TEST_F(FlashSession, ProgressRewritesItselfOnlyOnAConsole) {
  const struct {
    bool console;
    bool quiet;
    bool carriageReturns;
    std::vector<std::string> lines;
  } cases[] = {
      {true, false, true, {}},
      {false, false, false, {"N: Download Completed!", "box 1: 14444 bytes, 2.0 s, downloaded"}},
      {true, true, false, {"box 1: 14444 bytes, 2.0 s, downloaded"}},
  };
  for (const auto& c : cases) {
    SessionRun run(false);
    run.platform.console = c.console;
    run.options.quiet = c.quiet;
    run.Play({kDownload});
    EXPECT_EQ(c.carriageReturns, run.platform.out.find('\r') != std::string::npos) << run.platform.out;
    if (!c.lines.empty()) EXPECT_EQ(c.lines, run.Lines());
    // Every line starts on a line of its own, never inside the progress line.
    for (std::size_t at = run.platform.out.find("12:00:00.000"); at != std::string::npos;
         at = run.platform.out.find("12:00:00.000", at + 1))
      EXPECT_TRUE(at == 0 || run.platform.out[at - 1] == '\n' || run.platform.out[at - 1] == '\r') << run.platform.out;
  }
}

TEST_F(FlashSession, EveryBoxLeavesOneRecord) {
  const std::string path = "flash-session-test.log";
  std::remove(path.c_str());
  {
    CRunLog log;
    std::string reason;
    ASSERT_TRUE(log.Open(path, reason)) << reason;
    SessionRun run(true, &log);
    run.Play({kBegin, kErrorReport, kDownload, kBegin, kSilence, kStop});
    EXPECT_EQ(5, run.status);
  }
  std::ifstream in(path);
  std::vector<nlohmann::json> records;
  for (std::string line; std::getline(in, line);) records.push_back(nlohmann::json::parse(line));
  std::remove(path.c_str());
  ASSERT_EQ(2u, records.size());
  const nlohmann::json& first = records[0];
  EXPECT_EQ(1, first["format"]);
  EXPECT_EQ("box", first["record"]);
  EXPECT_EQ("COM1", first["port"]);
  EXPECT_EQ(1, first["box"]);
  EXPECT_EQ(115200, first["baud"]);
  EXPECT_EQ(kImage, first["image"]);
  EXPECT_EQ(14444, first["image_size"]);
  EXPECT_EQ(14444, first["payload_bytes"]);
  EXPECT_EQ("downloaded", first["result"]);
  EXPECT_EQ(0, first["status"]);
  EXPECT_EQ(nlohmann::json({"Checksum check"}), first["box_reports"]);
  EXPECT_EQ(4.0, first["seconds"]);
  EXPECT_EQ("2023-11-14T22:13:20.000Z", first["armed"]);
  EXPECT_EQ("2023-11-14T22:13:21.000Z", first["start"]);
  EXPECT_EQ(2, records[1]["box"]);
  EXPECT_EQ("box_silent", records[1]["result"]);
  EXPECT_EQ(5, records[1]["status"]);
  EXPECT_EQ(4160, records[1]["payload_bytes"]);
  // The image's CRC-32 is zip's: its check value, and the file's own in the record.
  const std::string digits = "123456789";
  EXPECT_EQ(0xCBF43926u, CImageFile::Crc32(std::vector<unsigned char>(digits.begin(), digits.end())));
  const Bytes image = ImageBuilder().Anal().End().Get();
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", CImageFile::Crc32(image));
  EXPECT_EQ(crc, first["image_crc32"]);
}
