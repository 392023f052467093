// A velflash serving several ports, on scripted children: what it prints, logs and ends
// with when its children talk, fail, end, and when a person presses Ctrl-C once or twice.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>

#include "RunLog.h"
#include "ScriptedPlatform.h"
#include "Station.h"

namespace {

class ScriptedStation : public IStationPlatform {
 public:
  std::deque<Event> script;            // what the children do, in order
  std::vector<bool> starts = {true, true, true};
  std::vector<bool> stopsWhenAsked = {true, true, true};
  std::vector<std::vector<std::string>> started;
  std::vector<int> stopped, killed;
  double now = 0;
  std::string out, err;

  static Event Line(int child, const std::string& text, IFlashPlatform::Stream s = IFlashPlatform::kOut) {
    Event e;
    e.kind = Event::kLine;
    e.child = child;
    e.stream = s;
    e.text = text;
    return e;
  }
  static Event Ended(int child, int status) {
    Event e;
    e.kind = Event::kEnded;
    e.child = child;
    e.status = status;
    return e;
  }
  static Event Stop() {
    Event e;
    e.kind = Event::kStop;
    return e;
  }

  bool StartChild(int child, const std::vector<std::string>& args, std::string& reason) override {
    started.push_back(args);
    if (!starts[child]) reason = "The system cannot find the file specified. (error 2)";
    return starts[child];
  }
  void StopChild(int child) override {
    stopped.push_back(child);
    if (stopsWhenAsked[child]) {
      script.push_back(Line(child, "12:00:01.000 box 1: 1024 bytes, 1.0 s, stopped"));
      script.push_back(Ended(child, 130));
    }
  }
  void KillChild(int child) override {
    killed.push_back(child);
    script.push_back(Ended(child, 130));
  }
  Event Next(unsigned waitMs) override {
    if (script.empty()) {
      now += waitMs / 1000.0;
      return Event();
    }
    Event e = script.front();
    script.pop_front();
    now += 0.01;
    return e;
  }
  double Now() override { return now; }
  std::string LocalClock() override { return "12:00:00.000"; }
  void Write(IFlashPlatform::Stream s, const std::string& text) override { (s == IFlashPlatform::kErr ? err : out) += text; }
  bool OutputIsConsole() override { return false; }
};

CFlashOptions Ports(std::vector<unsigned short> ports) {
  CFlashOptions options;
  options.ports = ports;
  options.image = "box.img";
  return options;
}

}  // namespace

TEST(Station, LinesCarryTheirPortAndTheRunEndsWithTheWorstStatus) {
  ScriptedStation platform;
  using E = ScriptedStation;
  platform.script = {E::Line(0, "12:00:00.100 N: Ready (box.img)"), E::Line(1, "12:00:00.200 N: Ready (box.img)"),
                     E::Line(1, "@progress 4160 14444 1.000"), E::Line(1, "12:00:02.000 E: Checksum check"),
                     E::Line(1, "velflash: COM13: the box sent more error reports than --max-errors 0 allows",
                             IFlashPlatform::kErr),
                     E::Ended(1, 6), E::Line(0, "12:00:03.000 box 1: 14444 bytes, 3.0 s, downloaded"), E::Ended(0, 0)};
  const CFlashOptions options = Ports({1, 13});
  CStation station(options, platform, nullptr);
  EXPECT_EQ(6, station.Run());
  EXPECT_EQ((std::vector<std::string>{"--child", "--port", "13", "--baud", "115200", "box.img"}), platform.started[1]);
  EXPECT_EQ(
      "COM1  12:00:00.100 N: Ready (box.img)\n"
      "COM13 12:00:00.200 N: Ready (box.img)\n"
      "COM13 12:00:02.000 E: Checksum check\n"
      "COM1  12:00:03.000 box 1: 14444 bytes, 3.0 s, downloaded\n"
      "12:00:00.000 ports: COM1 0 (downloaded), COM13 6 (too many error reports)\n",
      platform.out);
  EXPECT_EQ("velflash: COM13: the box sent more error reports than --max-errors 0 allows\n", platform.err);
}

TEST(Station, StopsAndTheirBounds) {
  using E = ScriptedStation;
  const struct {
    const char* what;
    std::deque<IStationPlatform::Event> script;
    std::vector<bool> stopsWhenAsked;
    std::vector<int> killed;
    double endsBefore;  // seconds of the station's clock
    std::string err;
  } cases[] = {
      {"one Ctrl-C stops every port", {E::Stop()}, {true, true}, {}, 1, ""},
      {"a second Ctrl-C ends them at once", {E::Stop(), E::Stop()}, {false, false}, {0, 1}, 1,
       "velflash: COM1: ended at once by a second Ctrl-C\nvelflash: COM3: ended at once by a second Ctrl-C\n"},
      {"a port that does not stop is ended after 10 s", {E::Stop()}, {true, false}, {1}, 11,
       "velflash: COM3: did not stop within 10 s: ended\n"},
  };
  for (const auto& c : cases) {
    ScriptedStation platform;
    platform.script = c.script;
    platform.stopsWhenAsked = c.stopsWhenAsked;
    const CFlashOptions options = Ports({1, 3});
    CStation station(options, platform, nullptr);
    EXPECT_EQ(130, station.Run()) << c.what;
    EXPECT_EQ((std::vector<int>{0, 1}), platform.stopped) << c.what;
    EXPECT_EQ(c.killed, platform.killed) << c.what;
    EXPECT_LT(platform.now, c.endsBefore) << c.what;
    EXPECT_EQ(c.err, platform.err) << c.what;
    EXPECT_NE(std::string::npos, platform.out.find("ports: COM1 130 (stopped), COM3 130 (stopped)")) << c.what;
  }
}

TEST(Station, RecordsAreLoggedWholeAndAChildThatCannotStartFails) {
  const std::string path = "station-test.log";
  std::remove(path.c_str());
  ScriptedStation platform;
  using E = ScriptedStation;
  platform.starts = {true, false, true};
  platform.script = {E::Line(0, "@record {\"record\":\"box\",\"port\":\"COM1\"}"),
                     E::Line(2, "@record {\"record\":\"box\",\"port\":\"COM5\"}"), E::Ended(0, 0),
                     E::Line(2, "@record {\"record\":\"box\",\"po"), E::Ended(2, 0)};
  {
    CRunLog log;
    std::string reason;
    ASSERT_TRUE(log.Open(path, reason));
    const CFlashOptions options = Ports({1, 3, 5});
    CStation station(options, platform, &log);
    EXPECT_EQ(1, station.Run());
  }
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::remove(path.c_str());
  EXPECT_EQ((std::vector<std::string>{"{\"record\":\"box\",\"port\":\"COM1\"}", "{\"record\":\"box\",\"port\":\"COM5\"}"}),
            lines);
  EXPECT_EQ(
      "velflash: COM3: cannot start its velflash: The system cannot find the file specified. (error 2)\n"
      "velflash: COM5: a box record came cut short and is not logged\n",
      platform.err);
  EXPECT_NE(std::string::npos, platform.out.find("ports: COM1 0 (downloaded), COM3 1 (failed), COM5 0 (downloaded)"));
}
