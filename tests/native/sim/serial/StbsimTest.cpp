// stbsim: its command line, and the program itself on a real pty pair with a scripted PC on the other end.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BoxImages.h"
#include "StbsimOptions.h"
#include "StbsimRun.h"

namespace {
bool Parse(std::vector<std::string> args, CStbsimOptions& options, std::string& error) {
  args.insert(args.begin(), {"--tty", "/dev/null"});
  return options.Parse(args, error);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
}  // namespace

TEST(StbsimOptions, ReadsMisbehavioursIntoFaults) {
  CStbsimOptions o;
  std::string error;
  ASSERT_TRUE(Parse({"--no-pace", "--downloads=3", "--error", "57@block:5", "--garbage", "x0a1b@header:2", "--garbage",
                     "7@sync", "--swap", "4", "--stop-after", "6", "--babble", "ready", "--fault-time", "250",
                     "--wrong-echo", "flip", "--fault-download", "2", "--image", "a.img"},
                    o, error))
      << error;
  EXPECT_FALSE(o.box.pace);
  EXPECT_EQ(3u, o.downloads);
  EXPECT_EQ("a.img", o.image);
  ASSERT_EQ(7u, o.box.faults.size());
  const std::vector<SBoxFault>& f = o.box.faults;
  EXPECT_EQ("error report 0x57 at block:5", f[0].Describe());
  EXPECT_EQ((std::vector<uint8_t>{0x0a, 0x1b}), f[1].bytes);
  EXPECT_EQ("header:2", f[1].point.Describe());
  EXPECT_EQ(7u, f[2].randomCount);
  EXPECT_EQ("swapped request at block:4", f[3].Describe());
  EXPECT_EQ("silence at after-block:6 for 250 ms", f[4].Describe());
  EXPECT_EQ("babble at ready for 250 ms", f[5].Describe());
  EXPECT_FALSE(f[6].codeGiven);
  for (const SBoxFault& fault : f) EXPECT_EQ(2, fault.download);

  // A restart takes the boot time, 1000 ms unless given; the silence and babble time is not it.
  CStbsimOptions r;
  ASSERT_TRUE(Parse({"--restart", "block:3", "--fault-time", "250"}, r, error)) << error;
  EXPECT_EQ("restart at block:3 (up again after 1000 ms)", r.box.faults.at(0).Describe());
  CStbsimOptions p;
  ASSERT_TRUE(Parse({"--pause", "2500@header:1"}, p, error)) << error;
  EXPECT_EQ("pause of 2500 ms at header:1", p.box.faults.at(0).Describe());
  CStbsimOptions r40;
  ASSERT_TRUE(Parse({"--boot-time=40", "--restart", "after-block:2"}, r40, error)) << error;
  EXPECT_EQ("restart at after-block:2 (up again after 40 ms)", r40.box.faults.at(0).Describe());
}

TEST(StbsimOptions, RejectsBadInputWithAReason) {
  struct SCase {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--error", "57"}, "bad value for --error: \"57\" (CODE@POINT, CODE in hex)"},
      {{"--error", "157@sync"}, "CODE@POINT"},
      {{"--error", "57@block:0"}, "CODE@POINT"},
      {{"--garbage", "x0@sync"}, "hex bytes after x"},
      {{"--garbage", "0@sync"}, "a count from 1"},
      {{"--downloads", "0"}, "a count from 1"},
      {{"--downloads", "-1"}, "a count from 1"},
      {{"--timeout", "ten"}, "seconds"},
      {{"--sync-interval", "0"}, "at least 1 ms"},
      {{"--swap"}, "--swap needs a value"},
      {{"--pace=1"}, "--pace takes no value"},
      {{"--wrong-echo", "zz"}, "a hex byte or flip"},
      {{"--restart", "block"}, "bad value for --restart: \"block\" (a point)"},
      {{"--pause", "0@sync"}, "MS@POINT"},
      {{"--pause", "500"}, "MS@POINT"},
      {{"--boot-time", "-5"}, "milliseconds"},
      {{"--frobnicate"}, "unknown option \"--frobnicate\""},
  };
  for (const SCase& c : cases) {
    CStbsimOptions o;
    std::string error;
    EXPECT_FALSE(Parse(c.args, o, error)) << c.args[0];
    EXPECT_TRUE(Contains(error, c.error)) << error;
  }
  CStbsimOptions o;
  std::string error;
  EXPECT_FALSE(o.Parse({"--image", "x.img"}, error));
  EXPECT_EQ("--tty PATH is required", error);
}

TEST(Stbsim, WholeDownloadOnAPty) {
  CStbsimRun run;
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  run.WriteFile("box.img", image);
  ASSERT_TRUE(run.Start({"--image", run.Path("box.img"), "--received", run.Path("got.img"), "--report",
                         run.Path("report.txt"), "--timeout", "30"}));
  CTestPc pc(image, {});
  EXPECT_EQ(0, run.Serve(&pc, 30000)) << run.Stderr();
  EXPECT_EQ(1, pc.completed);
  EXPECT_TRUE(pc.errors.empty());
  // Paced at 115200: 14 blocks take at least 14 x 89.4 ms, after the 600 ms reopen pause.
  EXPECT_GT(run.elapsedMs, 600 + 14 * 89.4);
  std::vector<uint8_t> got = run.ReadFile("got.img");
  ASSERT_EQ(image.size(), got.size());
  EXPECT_TRUE(std::equal(image.begin() + 64, image.begin() + 14400, got.begin() + 64));
  std::string report = run.ReadText("report.txt");
  EXPECT_TRUE(Contains(report, "#1 pc>  05 baud code: 115200 baud")) << report;
  EXPECT_TRUE(Contains(report, "block 14 (14 of section 1): sequence ee"));
  EXPECT_TRUE(Contains(report, "image matches the file (14444 bytes)"));
  EXPECT_TRUE(Contains(report, "verdict: pass: 1 of 1 downloads ended: 1 completed")) << report;
  EXPECT_EQ("", run.Stderr());
}

TEST(Stbsim, BadFrameFailsWithItsReason) {
  CStbsimRun run;
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 3000}});
  ASSERT_TRUE(run.Start({"--no-pace", "--report", run.Path("report.txt"), "--timeout", "30"}));
  CTestPc::SOptions options;
  options.badCrcBlock = 2;
  CTestPc pc(image, options);
  EXPECT_EQ(1, run.Serve(&pc, 30000));
  EXPECT_EQ(std::vector<uint8_t>{0x57}, pc.errors);  // the error report left before the program ended
  EXPECT_TRUE(Contains(run.Stderr(), "stbsim: download 1 failed: \"Checksum check\" (0x57): block 2: checksum"))
      << run.Stderr();
  EXPECT_TRUE(Contains(run.ReadText("report.txt"), "verdict: fail: download 1 failed"));
}

TEST(Stbsim, TimeoutSignalAndEndlessSilence) {
  {
    CStbsimRun run;
    ASSERT_TRUE(run.Start({"--timeout", "1", "--sync-interval", "200"}));
    EXPECT_EQ(3, run.Serve(nullptr, 10000));
    std::string stderrText = run.Stderr();
    EXPECT_TRUE(Contains(stderrText, "stbsim: timeout after 1 s: download 1 was waiting for the SYNC echo (")) << stderrText;
    EXPECT_EQ(1, std::count(stderrText.begin(), stderrText.end(), '\n'));
  }
  {
    CStbsimRun run;
    ASSERT_TRUE(run.Start({"--report", run.Path("report.txt")}));
    EXPECT_EQ(4, run.Serve(nullptr, 10000, 300));
    EXPECT_LT(run.elapsedMs, 5000);
    EXPECT_TRUE(Contains(run.Stderr(), "stbsim: stopped by SIGTERM: download 1 was waiting for the SYNC echo"));
    EXPECT_TRUE(Contains(run.ReadText("report.txt"), "verdict: fail: stopped by SIGTERM"));
  }
  {
    // Silent for good, as asked: the timeout ends it and that is a pass.
    CStbsimRun run;
    ASSERT_TRUE(run.Start({"--silent", "--timeout", "1", "--report", run.Path("report.txt")}));
    CTestPc pc(MakeImage({{SSection::kProgram, 100}}), {});
    EXPECT_EQ(0, run.Serve(&pc, 10000)) << run.Stderr();
    EXPECT_TRUE(pc.all.empty());
    EXPECT_TRUE(Contains(run.ReadText("report.txt"), "verdict: pass: 1 of 1 downloads ended: 0 completed, 1 ended"));
  }
}

TEST(Stbsim, SetupErrorsExitWithUsageStatus) {
  CStbsimRun run;
  ASSERT_TRUE(run.Start({"--image", run.Path("missing.img")}));
  EXPECT_EQ(2, run.Serve(nullptr, 10000));
  EXPECT_TRUE(Contains(run.Stderr(), "stbsim: cannot read the image")) << run.Stderr();
  CStbsimRun bad;
  ASSERT_TRUE(bad.Start({"--downloads"}));
  EXPECT_EQ(2, bad.Serve(nullptr, 10000));
  EXPECT_EQ("stbsim: --downloads needs a value (see stbsim --help)\n", bad.Stderr());
}
