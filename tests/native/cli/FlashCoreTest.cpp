// The flasher's command line and the bookkeeping that turns the library's notifications
// into an outcome, a progress line and a summary.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "DownloadTracker.h"
#include "FlashOptions.h"
#include "VelOldManagerProcessor.h"

namespace {

class FlashOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(m_image, std::ios::binary) << "x";
  }
  void TearDown() override { std::remove(m_image.c_str()); }

  bool Parse(std::vector<std::string> args) {
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a == "IMG" ? m_image.c_str() : a.c_str());
    options = CFlashOptions();
    return options.Parse(static_cast<int>(argv.size()), argv.data());
  }

  std::string m_image = "flash-options-test.img";
  CFlashOptions options;
};

}  // namespace

TEST_F(FlashOptionsTest, TakesPortRateLineModeAndErrorLimit) {
  ASSERT_TRUE(Parse({"IMG"})) << options.Error();
  EXPECT_EQ(1, options.port);
  EXPECT_EQ(115200ul, options.baud);
  EXPECT_FALSE(options.each);
  EXPECT_EQ(CFlashOptions::kNoErrorLimit, options.maxErrors);

  ASSERT_TRUE(Parse({"--port", "255", "--baud=9600", "--each", "--max-errors", "0", "IMG"})) << options.Error();
  EXPECT_EQ(255, options.port);
  EXPECT_EQ(9600ul, options.baud);
  EXPECT_TRUE(options.each);
  EXPECT_EQ(0, options.maxErrors);
  EXPECT_EQ(m_image, options.image);
  for (const char* rate : {"19200", "38400", "57600"}) EXPECT_TRUE(Parse({"--baud", rate, "IMG"})) << rate;
  EXPECT_EQ(0, options.timeout);
  EXPECT_EQ(0, options.deadline);
  EXPECT_FALSE(options.quiet);
  EXPECT_EQ("", options.log);
}

TEST_F(FlashOptionsTest, SeveralPortsAndTheirChildren) {
  ASSERT_TRUE(Parse({"--port", "1,COM3", "--port=com11", "--timeout", "30", "--deadline=90", "--log", "run.log",
                     "--quiet", "--each", "--max-errors", "2", "IMG"}))
      << options.Error();
  EXPECT_EQ((std::vector<unsigned short>{1, 3, 11}), options.ports);
  EXPECT_EQ(1, options.port);
  EXPECT_EQ(30, options.timeout);
  EXPECT_EQ(90, options.deadline);
  EXPECT_EQ("run.log", options.log);
  // A child serves one port with the same limits; the parent keeps the log.
  EXPECT_EQ((std::vector<std::string>{"--child", "--port", "3", "--baud", "115200", "--each", "--quiet", "--max-errors",
                                      "2", "--timeout", "30", "--deadline", "90", m_image}),
            options.ChildArguments(1));
  for (const char* mode : {"--version", "--list-ports", "--help"}) {
    ASSERT_TRUE(Parse({mode})) << mode;
    EXPECT_NE(CFlashOptions::kRun, options.mode) << mode;
  }
}

TEST_F(FlashOptionsTest, RefusesWhatCannotWorkBeforeAnythingOpens) {
  const struct {
    std::vector<std::string> args;
    const char* error;
  } bad[] = {
      {{"--port", "0", "IMG"}, "port 0 is outside 1-255"},
      {{"--port", "256", "IMG"}, "port 256 is outside 1-255"},
      {{"--port", "-3", "IMG"}, "port -3 is outside 1-255"},
      {{"--port", "COMX", "IMG"}, "port COMX is outside 1-255"},
      {{"--port", "1,300", "IMG"}, "port 300 is outside 1-255"},
      {{"--port", "3", "--port", "COM3", "IMG"}, "port 3 is given twice"},
      {{"--timeout", "0", "IMG"}, "--timeout 0 is not a number of seconds from 1 to 86400"},
      {{"--deadline", "1.5", "IMG"}, "--deadline 1.5 is not a number of seconds from 1 to 86400"},
      {{"--timeout"}, "--timeout needs a number of seconds"},
      {{"--quiet=yes", "IMG"}, "--quiet takes no value"},
      {{"--log", "", "IMG"}, "--log needs a file"},
      {{"."}, "image . is a folder, not a file"},
      {{"--baud", "14400", "IMG"}, "rate 14400 is not one the box knows (9600, 19200, 38400, 57600, 115200)"},
      {{"--baud", "115200x", "IMG"}, "rate 115200x is not one the box knows (9600, 19200, 38400, 57600, 115200)"},
      {{"--baud"}, "--baud needs a rate"},
      {{"--max-errors", "many", "IMG"}, "--max-errors many is not a count"},
      {{"--fast", "IMG"}, "unknown option --fast"},
      {{}, "no image given"},
      {{"IMG", "IMG"}, "one image at a time (flash-options-test.img, flash-options-test.img)"},
      {{"no-such-file.img"}, "image no-such-file.img cannot be opened"},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(Parse(b.args)) << b.error;
    EXPECT_EQ(b.error, options.Error());
  }
}

TEST(DownloadTracker, KnowsTheLibrarysTextsForTheBoxsReports) {
  // Every code the box can send, in the library's own words.
  for (int code = 0; code < 256; ++code)
    EXPECT_TRUE(CDownloadTracker::IsBoxReport(CVelOldManagerProcessor::ErrorReportText(static_cast<unsigned char>(code))))
        << code;
  EXPECT_FALSE(CDownloadTracker::IsBoxReport("Invalid Protocol 1 : READY"));
  EXPECT_TRUE(CDownloadTracker::IsImageRefusal("Image file is invalid."));
  EXPECT_TRUE(CDownloadTracker::IsImageRefusal("Image file is truncated: no end record after offset 14400."));
  EXPECT_TRUE(CDownloadTracker::IsImageRefusal("CVelOldManagerProcessor::SetFilePath() - CreateFile(\"a\") Failed!"));
  EXPECT_TRUE(CDownloadTracker::IsPortFailure("Failed to open com port : \\\\.\\COM9, Error No. - 2l"));
  EXPECT_FALSE(CDownloadTracker::IsPortFailure("Download Completed!"));
}

TEST(DownloadTracker, ErrorReportsAreFollowedUntilTheLimit) {
  CDownloadTracker follow(CFlashOptions::kNoErrorLimit);
  follow.OnTotal(14444, 0);
  for (int i = 0; i < 20; ++i) follow.OnError("Checksum check");
  EXPECT_EQ(CDownloadTracker::kRunning, follow.Result());
  follow.OnComplete(3);
  EXPECT_EQ(CDownloadTracker::kDownloaded, follow.Result());
  EXPECT_EQ("box 1: 14444 bytes, 3.0 s, downloaded (20 error reports)", follow.Summary(1, 9));

  CDownloadTracker limited(1);
  limited.OnTotal(14444, 0);
  limited.OnError("Invalid Protocol : FUNC_PROGRAM");  // the library's, not the box's
  limited.OnError("Checksum check");
  EXPECT_EQ(CDownloadTracker::kRunning, limited.Result());
  limited.OnError("Count number");
  EXPECT_EQ(CDownloadTracker::kTooManyErrors, limited.Result());
  EXPECT_EQ(6, CDownloadTracker::ExitCode(limited.Result()));
  // The first outcome stays.
  limited.OnComplete(5);
  limited.Decide(CDownloadTracker::kSilent, 5);
  EXPECT_EQ(CDownloadTracker::kTooManyErrors, limited.Result());

  CDownloadTracker refused(0);
  refused.OnTotal(9000, 0);
  refused.OnError("Image file is invalid.");
  EXPECT_EQ(CDownloadTracker::kImageRefused, refused.Result());
}

TEST(DownloadTracker, ExitCodesAreDistinct) {
  const CDownloadTracker::Outcome all[] = {CDownloadTracker::kDownloaded,   CDownloadTracker::kPortFailed,
                                           CDownloadTracker::kImageRefused, CDownloadTracker::kSilent,
                                           CDownloadTracker::kTooManyErrors, CDownloadTracker::kStopped};
  std::vector<int> codes;
  for (auto o : all) codes.push_back(CDownloadTracker::ExitCode(o));
  EXPECT_EQ((std::vector<int>{0, 3, 4, 5, 6, 130}), codes);
}

TEST(DownloadTracker, ProgressLineOfTheCurrentAttempt) {
  CDownloadTracker t(CFlashOptions::kNoErrorLimit);
  t.OnTotal(10240, 100);
  t.OnProgress(0, 100.5);
  EXPECT_EQ("  0%  0 of 10240 bytes  0.0 KB/s  0:00 / -:--", t.ProgressLine(100.5));
  t.OnProgress(5120, 110);
  EXPECT_EQ(" 50%  5120 of 10240 bytes  0.5 KB/s  0:10 / 0:20", t.ProgressLine(110));
  // A box that restarts begins a new attempt; the summary keeps the whole time and the
  // furthest point reached.
  t.OnError("Checksum check");
  t.OnTotal(10240, 112);
  t.OnProgress(1024, 114);
  EXPECT_EQ(" 10%  1024 of 10240 bytes  0.5 KB/s  0:02 / 0:20", t.ProgressLine(114));
  t.Decide(CDownloadTracker::kSilent, 234);
  EXPECT_EQ("box 2: 5120 bytes, 134.0 s, box silent (1 error report)", t.Summary(2, 300));
}
