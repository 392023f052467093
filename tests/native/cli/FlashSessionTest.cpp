// The flasher's session on a scripted library: what a run prints and the status it ends
// with, box by box, in line mode and out of it.
#include <gtest/gtest.h>

#include <fstream>

#include "FlashSession.h"
#include "ManagerEvents.h"
#include "ScriptedPlatform.h"

namespace {

// One thing that happens during a run.
enum Step {
  kDownload,      // a box goes through a whole download of 14444 bytes
  kBegin,         // a box starts: SYNC (total) and the first blocks
  kSilence,       // the library's 120 s timer fires
  kRearm,         // line mode's re-arm timer fires (nothing when none runs)
  kStop,          // Ctrl-C
  kStopSilentBox, // Ctrl-C while the box sends nothing: the library does not confirm
  kStopAsBoxCompletes,  // Ctrl-C as the end header goes out: the box completes during the wait
};

struct SessionRun {
  ScriptedPlatform platform;
  CFlashOptions options;
  std::unique_ptr<CFlashSession> session;
  int status = -1;

  explicit SessionRun(bool each) {
    options.image = "box.img";
    options.each = each;
    session.reset(new CFlashSession(options, platform));
  }

  void Play(const std::vector<Step>& steps) {
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
        case kSilence:
          platform.now += 120;
          session->OnTimer(kSilenceTimerId);
          break;
        case kRearm:
          if (platform.timers.count(CFlashSession::kArmTimer)) session->OnTimer(CFlashSession::kArmTimer);
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
    ASSERT_TRUE(session->Finished());
    session->BeforeClose();
    status = session->Close();
  }

  void Begin() {
    session->OnEvent("14444l", EVENT_TOTAL);
    session->OnEvent("4160l", EVENT_PROGRESS);
  }

  std::vector<std::string> Lines() const { return ScriptedPlatform::Lines(platform.out); }
  // The summary lines and the count line: the lines that do not come from the library.
  std::vector<std::string> Summaries() const {
    std::vector<std::string> out;
    for (const std::string& l : Lines())
      if (l.compare(0, 4, "box ") == 0 || l.find("box(es) served") != std::string::npos) out.push_back(l);
    return out;
  }
};

}  // namespace

TEST(FlashSession, LineModeCountsBoxesAndEndsWithTheFirstFailure) {
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> summaries;
    int status;
  } cases[] = {
      {"two boxes, Ctrl-C while waiting for the third",
       {kDownload, kRearm, kDownload, kRearm, kStop},
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
       {kDownload, kRearm, kBegin, kSilence, kRearm, kDownload, kRearm, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 4160 bytes, 121.0 s, box silent",
        "box 3: 14444 bytes, 2.0 s, downloaded", "3 box(es) served, 1 not downloaded"},
       5},
      {"Ctrl-C during the second box's download",
       {kDownload, kRearm, kBegin, kStop},
       {"box 1: 14444 bytes, 2.0 s, downloaded", "box 2: 4160 bytes, 1.0 s, stopped",
        "2 box(es) served, 1 not downloaded"},
       130},
      {"Ctrl-C before any box came",
       {kStop},
       {"0 box(es) served"},
       130},
      {"Ctrl-C as the box completes",
       {kBegin, kStopAsBoxCompletes},
       {"box 1: 14444 bytes, 1.0 s, downloaded", "1 box(es) served"},
       0},
  };
  for (const auto& c : cases) {
    SessionRun run(true);
    run.Play(c.steps);
    EXPECT_EQ(c.summaries, run.Summaries()) << c.what << "\n" << run.platform.out;
    EXPECT_EQ(c.status, run.status) << c.what;
    EXPECT_FALSE(run.platform.portOpen) << c.what;
  }
}

TEST(FlashSession, OneBoxEndsTheRun) {
  const struct {
    const char* what;
    std::vector<Step> steps;
    std::vector<std::string> summaries;
    int status;
  } cases[] = {
      {"downloaded", {kDownload}, {"box 1: 14444 bytes, 2.0 s, downloaded"}, 0},
      {"silent", {kBegin, kSilence}, {"box 1: 4160 bytes, 121.0 s, box silent"}, 5},
      {"Ctrl-C, the library cancels", {kBegin, kStop}, {"box 1: 4160 bytes, 1.0 s, stopped"}, 130},
      {"Ctrl-C, the box says nothing more", {kBegin, kStopSilentBox}, {"box 1: 4160 bytes, 1.0 s, stopped"}, 130},
      {"Ctrl-C before the box came", {kStop}, {"box 1: 0 bytes, 0.0 s, stopped"}, 130},
  };
  for (const auto& c : cases) {
    SessionRun run(false);
    run.Play(c.steps);
    EXPECT_EQ(c.summaries, run.Summaries()) << c.what << "\n" << run.platform.out;
    EXPECT_EQ(c.status, run.status) << c.what;
    EXPECT_EQ(1, run.platform.arms) << c.what;
  }
}
