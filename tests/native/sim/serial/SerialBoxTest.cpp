// The box engine against the test PC on a virtual time line: whole downloads, frame checks, misbehaviours.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BoxImages.h"
#include "BoxLoop.h"
#include "SerialBox.h"

namespace {

SBoxSettings Settings(const std::vector<uint8_t>& image, bool pace = true) {
  SBoxSettings settings;
  settings.pace = pace;
  settings.compare = true;
  settings.reference = image;
  return settings;
}

SBoxFault Fault(SBoxFault::Kind kind, const char* point, uint8_t code = 0, uint32_t durationMs = 0) {
  SBoxFault fault;
  fault.kind = kind;
  EXPECT_TRUE(SBoxPoint::Parse(point, fault.point)) << point;
  fault.code = code;
  fault.codeGiven = code != 0;
  fault.durationMs = durationMs;
  return fault;
}

std::vector<uint8_t> Requests(int count) {
  std::vector<uint8_t> bytes;
  for (int k = 1; k <= count; ++k) bytes.insert(bytes.end(), {0x69, uint8_t(k % 10)});
  return bytes;
}

const std::vector<uint8_t> kAnalSequences = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 0xEE};

}  // namespace

TEST(SerialBox, OneAnalSectionAt115200) {
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  ASSERT_EQ(14444u, image.size());
  CBoxLoop loop(Settings(image), image);
  ASSERT_TRUE(loop.RunDownloads(1));

  const SBoxDownloadResult& r = loop.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kCompleted, r.outcome) << r.reason;
  EXPECT_TRUE(r.compared);
  EXPECT_TRUE(r.matches);
  EXPECT_EQ(115200u, r.rate);
  EXPECT_EQ(1, r.sections);
  EXPECT_EQ(14, r.blocks);
  EXPECT_EQ(14336u, r.payloadBytes);
  EXPECT_EQ(14444u, r.imageBytes);

  // Everything the box sent, in order; nothing of it fell into the PC's reopen.
  std::vector<uint8_t> sent = {0x22, 0x05, 0xD0, 0x05, 0x70};
  std::vector<uint8_t> requests = Requests(14);
  sent.insert(sent.end(), requests.begin(), requests.end());
  sent.push_back(0x70);
  EXPECT_EQ(sent, loop.pc.all);
  EXPECT_EQ(0u, loop.pc.lost);
  EXPECT_EQ(kAnalSequences, loop.pc.sequences);
  EXPECT_EQ(std::vector<uint8_t>{0x05}, loop.pc.echoes);

  const std::vector<uint8_t>& got = loop.box.LastImage();
  ASSERT_EQ(image.size(), got.size());
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 44, got.begin()));
  EXPECT_EQ(std::vector<uint8_t>(20, 0xFF), std::vector<uint8_t>(got.begin() + 44, got.begin() + 64));
  EXPECT_TRUE(std::equal(image.begin() + 64, image.begin() + 14400, got.begin() + 64));
  EXPECT_EQ(0, got[14400]);  // the end record's flag byte as sent
  EXPECT_TRUE(std::equal(image.begin() + 14401, image.end(), got.begin() + 14401));

  // The data phase takes the line time of its frames: header, 14 x (request + block), request, end header.
  BoxTime line = 64 * 87 + 14 * (89410 + 174) + 87 + 64 * 87;
  EXPECT_GE(r.end - r.dataStart, line - 100);
  EXPECT_LE(r.end - r.dataStart, line + 100);
  EXPECT_EQ(9600u, loop.box.LineRate());
  EXPECT_TRUE(loop.Logged("box> 22 SYNC at 9600 baud"));
  EXPECT_TRUE(loop.Logged("pc>  05 baud code: 115200 baud"));
  EXPECT_TRUE(loop.Logged("block 14 (14 of section 1): sequence ee, 1024 payload bytes"));
  EXPECT_TRUE(loop.Logged("image matches the file (14444 bytes)"));
}

TEST(SerialBox, At9600WithoutReopenAndWithoutBaudCode) {
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  CTestPc::SOptions pc;
  pc.baudCode = 0x01;
  CBoxLoop at9600(Settings(image), image, pc);
  ASSERT_TRUE(at9600.RunDownloads(1));
  const SBoxDownloadResult& r = at9600.box.Results()[0];
  EXPECT_TRUE(r.Good()) << r.reason;
  EXPECT_EQ(9600u, r.rate);
  EXPECT_GE(r.end - r.dataStart, 14 * ((1030ll * 10 * 1000000 + 9599) / 9600));
  EXPECT_FALSE(at9600.Logged("line now at"));

  pc.baudCode = 0;  // a PC configured for a rate outside the table
  CBoxLoop noCode(Settings(image), image, pc);
  ASSERT_TRUE(noCode.RunDownloads(1));
  EXPECT_TRUE(noCode.box.Results()[0].Good());
  EXPECT_TRUE(noCode.Logged("no baud code: the line stays at 9600 baud"));
}

TEST(SerialBox, ProgramDigAndShortSections) {
  std::vector<uint8_t> program = MakeImage({{SSection::kProgram, 3000}});
  CBoxLoop loop(Settings(program), program);
  ASSERT_TRUE(loop.RunDownloads(1));
  EXPECT_TRUE(loop.box.Results()[0].Good()) << loop.box.Results()[0].reason;
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 0xEE}), loop.pc.sequences);
  EXPECT_EQ(std::vector<uint8_t>{0x07}, loop.pc.echoes);
  EXPECT_EQ(3000u, loop.box.Results()[0].payloadBytes);

  // DIG carries no payload: one empty 0xEE block; a section of exactly 1024 bytes is one 0xEE block.
  std::vector<uint8_t> mixed = MakeImage({{SSection::kDig, 0}, {SSection::kAnal, 0}, {SSection::kProgram, 1024}});
  CBoxLoop many(Settings(mixed), mixed);
  ASSERT_TRUE(many.RunDownloads(1));
  const SBoxDownloadResult& r = many.box.Results()[0];
  EXPECT_TRUE(r.Good()) << r.reason;
  EXPECT_EQ(3, r.sections);
  EXPECT_EQ(16, r.blocks);
  std::vector<uint8_t> sequences = {0xEE};
  sequences.insert(sequences.end(), kAnalSequences.begin(), kAnalSequences.end());
  sequences.push_back(0xEE);
  EXPECT_EQ(sequences, many.pc.sequences);
  EXPECT_TRUE(many.Logged("section 1, DIG section (1 KiB units), flag 01, payload 0 bytes in 1 blocks"));
  EXPECT_TRUE(many.Logged("block 1 (1 of section 1): sequence ee, 0 payload bytes"));
}

struct SBadFrame {
  const char* name;
  CTestPc::SOptions pc;
  uint8_t code;
  const char* reason;
};

class SerialBoxBadFrame : public ::testing::TestWithParam<SBadFrame> {};

TEST_P(SerialBoxBadFrame, GetsItsErrorReportAndTheBoxStartsOver) {
  const SBadFrame& c = GetParam();
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  CBoxLoop loop(Settings(image), image, c.pc);
  ASSERT_TRUE(loop.RunDownloads(2));
  const SBoxDownloadResult& bad = loop.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kFailed, bad.outcome);
  EXPECT_NE(std::string::npos, bad.reason.find(c.reason)) << bad.reason;
  EXPECT_EQ(std::vector<uint8_t>{c.code}, loop.pc.errors);
  // The PC spoils only the first download; the second, after a new SYNC at the box's rate, completes.
  EXPECT_TRUE(loop.box.Results()[1].Good()) << loop.box.Results()[1].reason;
  EXPECT_TRUE(loop.Logged("#2 box> 22 SYNC at 115200 baud"));
}

CTestPc::SOptions Pc(int CTestPc::SOptions::*field, int value) {
  CTestPc::SOptions options;
  options.*field = value;
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SerialBoxBadFrame,
    ::testing::Values(
        SBadFrame{"BadCrc", Pc(&CTestPc::SOptions::badCrcBlock, 3), 0x57, "\"Checksum check\" (0x57): block 3: checksum"},
        SBadFrame{"WrongSequence", Pc(&CTestPc::SOptions::wrongSequenceBlock, 2), 0x56,
                  "block 2: sequence byte 03, expected 02"},
        SBadFrame{"LastBlockNotMarked", Pc(&CTestPc::SOptions::wrongSequenceBlock, 14), 0x56,
                  "sequence byte ef, expected ee"},
        SBadFrame{"ShortBlock", Pc(&CTestPc::SOptions::shortBlock, 5), 0x56, "block 5 short: 1000 of 1030 bytes"},
        SBadFrame{"MissingBlock", Pc(&CTestPc::SOptions::missingBlock, 4), 0x5A, "no block 4 within 3000 ms"},
        SBadFrame{"BadFiller", Pc(&CTestPc::SOptions::badFillerHeader, 1), 0x54, "filler byte 63 is 00, not ff"},
        SBadFrame{"LongHeader", Pc(&CTestPc::SOptions::extraByteHeader, 1), 0x54, "previous frame was too long"},
        SBadFrame{"LongBlock", Pc(&CTestPc::SOptions::extraByteBlock, 2), 0x55, "previous frame was too long"},
        SBadFrame{"BadFunction", Pc(&CTestPc::SOptions::function, 0x09), 0x51, "function code 09 is none of 04-07"},
        SBadFrame{"NoFunction", Pc(&CTestPc::SOptions::function, 0x100), 0x51, "no function code within 3000 ms"}),
    [](const ::testing::TestParamInfo<SBadFrame>& info) { return std::string(info.param.name); });

TEST(SerialBox, ChangedPayloadIsReportedWhereItDiffers) {
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  CBoxLoop loop(Settings(image), image, Pc(&CTestPc::SOptions::wrongPayloadBlock, 2));
  ASSERT_TRUE(loop.RunDownloads(1));
  const SBoxDownloadResult& r = loop.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kCompleted, r.outcome);
  EXPECT_FALSE(r.matches);
  EXPECT_FALSE(r.Good());
  ASSERT_EQ(1u, r.differences.size());
  EXPECT_NE(std::string::npos, r.differences[0].find("offset 1095 (section 1 payload, byte 1031 of 14336)"))
      << r.differences[0];
}

TEST(SerialBox, OversizedSectionIsRefused) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 3000}});
  SBoxSettings settings = Settings(image);
  settings.maxPayload = 2000;
  CBoxLoop loop(settings, image);
  ASSERT_TRUE(loop.RunDownloads(1));
  EXPECT_NE(std::string::npos, loop.box.Results()[0].reason.find("announces 3000 payload bytes"));
  loop.Run(loop.now + 10 * kBoxMs);  // the error report is still on the line
  EXPECT_EQ(std::vector<uint8_t>{0x54}, loop.pc.errors);
}

TEST(SerialBox, HandshakeTimingRepeatsAndStrays) {
  SBoxSettings settings;
  CSerialBox box(settings, 0);
  // SYNC at power-on and every second until the echo; an early byte is no echo.
  EXPECT_EQ(0, box.NextEventTime());
  box.Advance(0);
  EXPECT_EQ(1042, box.NextEventTime());
  uint8_t echo[] = {0x22, 0x05};
  box.Feed(echo, 1, 500);
  EXPECT_EQ(std::vector<uint8_t>{0x22}, box.TakeOutput(1042));
  EXPECT_EQ(std::vector<uint8_t>{}, box.TakeOutput(1000000));
  EXPECT_EQ(std::vector<uint8_t>{0x22}, box.TakeOutput(1001042));
  EXPECT_EQ(std::vector<uint8_t>{0x22}, box.TakeOutput(2001042));
  box.Feed(echo, 2, 2500000);  // echo and baud code arrive at 9600, one byte time apart
  BoxTime code = 2500000 + 2084;
  EXPECT_EQ(std::vector<uint8_t>{}, box.TakeOutput(code + 600000));
  EXPECT_EQ(115200u, box.LineRate());
  EXPECT_EQ(code + 600000 + 87, box.NextEventTime());
  EXPECT_EQ(std::vector<uint8_t>{0x05}, box.TakeOutput(code + 600087));
  // No READY_ACK: READY four more times a second apart, then the error report.
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(std::vector<uint8_t>{0x05}, box.TakeOutput(code + 600087 + i * 1000000));
  EXPECT_EQ((std::vector<uint8_t>{0x50, 0x51}), box.TakeOutput(code + 600087 + 5000000 + 174));
  ASSERT_EQ(1u, box.Results().size());
  EXPECT_NE(std::string::npos, box.Results()[0].reason.find("no READY_ACK after 5 READY"));
  std::string log;
  for (const SBoxLogEntry& e : box.TakeLog()) log += e.Format() + "\n";
  EXPECT_NE(std::string::npos, log.find("pc>  22: 1 stray byte ignored, waiting for the SYNC echo")) << log;

  // An unanswered READY is repeated and a late READY_ACK still counts.
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 100}});
  CBoxLoop loop(Settings(image), image, Pc(&CTestPc::SOptions::ignoreReady, 2));
  ASSERT_TRUE(loop.RunDownloads(1));
  EXPECT_TRUE(loop.box.Results()[0].Good());
  EXPECT_TRUE(loop.Logged("05 READY again (3 of 5)"));
}

TEST(SerialBox, WithoutPacingTheLineTakesNoTime) {
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  CBoxLoop loop(Settings(image, false), image);
  ASSERT_TRUE(loop.RunDownloads(1));
  const SBoxDownloadResult& r = loop.box.Results()[0];
  EXPECT_TRUE(r.Good());
  EXPECT_EQ(r.dataStart, r.end);
  EXPECT_EQ(600 * kBoxMs, r.dataStart - r.start);  // only the reopen pause
}

TEST(SerialBox, SeveralDownloadsInARow) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  CBoxLoop loop(Settings(image), image);
  ASSERT_TRUE(loop.RunDownloads(3));
  for (const SBoxDownloadResult& r : loop.box.Results()) EXPECT_TRUE(r.Good()) << r.download << ": " << r.reason;
  EXPECT_EQ(3, loop.pc.completed);
  EXPECT_EQ(3, loop.pc.syncs);
  // Each new download starts over at 9600 baud.
  EXPECT_TRUE(loop.Logged("#3 box> 22 SYNC at 9600 baud"));
}

TEST(SerialBoxFault, SilenceForGoodOrForAWhile) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kSilent, "sync")};
  CBoxLoop silent(settings, image);
  EXPECT_FALSE(silent.RunDownloads(1, 60 * 1000 * kBoxMs));
  EXPECT_TRUE(silent.pc.all.empty());
  EXPECT_TRUE(silent.box.InEndlessFault());
  EXPECT_EQ(kBoxNever, silent.box.NextEventTime());

  settings.faults = {Fault(SBoxFault::kSilent, "sync", 0, 2000)};
  CBoxLoop pause(settings, image);
  ASSERT_TRUE(pause.RunDownloads(2));
  EXPECT_EQ(SBoxDownloadResult::kInterrupted, pause.box.Results()[0].outcome);
  EXPECT_EQ(2000 * kBoxMs, pause.box.Results()[0].end);
  EXPECT_TRUE(pause.box.Results()[1].Good());

  // Stop mid-section: nothing after block 3.
  settings.faults = {Fault(SBoxFault::kSilent, "after-block:3")};
  CBoxLoop stop(settings, image);
  EXPECT_FALSE(stop.RunDownloads(1, 60 * 1000 * kBoxMs));
  EXPECT_EQ(3u, stop.pc.requests.size());
  EXPECT_EQ((std::vector<uint8_t>{0x69, 0x03}), std::vector<uint8_t>(stop.pc.all.end() - 2, stop.pc.all.end()));
  EXPECT_TRUE(stop.box.InEndlessFault());
  EXPECT_EQ("silent as asked", stop.box.Activity());
}

TEST(SerialBoxFault, RestartMidDownloadStartsOverAt9600AfterItsBootTime) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kRestart, "after-block:2", 0, 700)};
  CBoxLoop loop(settings, image);
  ASSERT_TRUE(loop.Run(60 * 1000 * kBoxMs, [&] { return loop.box.Results().size() == 1; }));
  const SBoxDownloadResult first = loop.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kInterrupted, first.outcome);
  EXPECT_EQ("restart at after-block:2 (up again after 700 ms) instead of DATA_HEADER for block 3 (3 of section 1), "
            "as asked",
            first.reason);
  EXPECT_EQ(2048u, first.payloadBytes);
  EXPECT_EQ(9600u, loop.box.LineRate());
  // Nothing more of the download: the next byte is SYNC, 700 ms later, at 9600 baud (1042 us a byte).
  const size_t heard = loop.pc.all.size();
  ASSERT_TRUE(loop.Run(loop.now + 10 * 1000 * kBoxMs, [&] { return loop.pc.all.size() > heard; }));
  EXPECT_EQ(0x22, loop.pc.all.back());
  EXPECT_EQ(first.end + 700 * kBoxMs + 1042, loop.now);
  EXPECT_EQ(2, loop.box.Download());

  // Restarting at SYNC in every download with no start-up time still lets time pass: one a millisecond.
  SBoxSettings every = Settings(image);
  every.faults = {Fault(SBoxFault::kRestart, "sync", 0, 0)};
  every.faults[0].download = 0;
  CSerialBox box(every, 0);
  EXPECT_TRUE(box.TakeOutput(100 * kBoxMs).empty());
  EXPECT_GT(box.NextEventTime(), 100 * kBoxMs);
  EXPECT_EQ(101u, box.Results().size());
}

TEST(SerialBoxFault, APauseDelaysWhatThePointSendsAndTheDownloadStillCompletes) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  // At each point the box waits 2.5 s, longer than its own repeat periods and the PC's reply time,
  // yet nothing repeats early and nothing times out: the waits count from when the byte has left.
  for (const char* point : {"sync", "ready", "func", "header:1", "after-block:2", "header:2"}) {
    SCOPED_TRACE(point);
    SBoxSettings settings = Settings(image);
    CBoxLoop plain(settings, image);
    ASSERT_TRUE(plain.RunDownloads(1));
    settings.faults = {Fault(SBoxFault::kPause, point, 0, 2500)};
    CBoxLoop slow(settings, image);
    ASSERT_TRUE(slow.RunDownloads(1));
    EXPECT_TRUE(slow.box.Results()[0].Good()) << slow.box.Results()[0].reason;
    // 2.5 s later, give or take a byte time (the pause counts from the decision to send, not from
    // the end of a byte still leaving before it).
    EXPECT_NEAR(double(plain.box.Results()[0].end + 2500 * kBoxMs), double(slow.box.Results()[0].end), 1042.0);
    EXPECT_EQ(plain.pc.all, slow.pc.all);
    EXPECT_TRUE(slow.Logged("after a pause of 2500 ms as asked"));
  }
}

TEST(SerialBoxFault, ErrorReportsAtChosenPoints) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  // Block requests the PC saw in both downloads (the second has 5), an error report in its place included.
  struct SCase {
    const char* point;
    size_t requests;
  } cases[] = {{"ready", 5}, {"header:1", 5}, {"after-header:1", 6}, {"block:4", 9}, {"after-block:5", 10}};
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.point);
    SBoxSettings settings = Settings(image);
    settings.faults = {Fault(SBoxFault::kErrorReport, c.point, 0x58)};
    CBoxLoop loop(settings, image);
    ASSERT_TRUE(loop.RunDownloads(2));
    EXPECT_EQ(SBoxDownloadResult::kInterrupted, loop.box.Results()[0].outcome);
    EXPECT_NE(std::string::npos, loop.box.Results()[0].reason.find("error report 0x58 sent instead of"));
    EXPECT_EQ(std::vector<uint8_t>{0x58}, loop.pc.errors);
    EXPECT_EQ(c.requests, loop.pc.requests.size());
    EXPECT_TRUE(loop.box.Results()[1].Good());
  }
  // Only the chosen download misbehaves, or every one.
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kErrorReport, "block:1", 0x53)};
  settings.faults[0].download = 2;
  CBoxLoop second(settings, image);
  ASSERT_TRUE(second.RunDownloads(3));
  EXPECT_TRUE(second.box.Results()[0].Good());
  EXPECT_EQ(SBoxDownloadResult::kInterrupted, second.box.Results()[1].outcome);
  EXPECT_TRUE(second.box.Results()[2].Good());
  settings.faults[0].download = 0;
  CBoxLoop every(settings, image);
  ASSERT_TRUE(every.RunDownloads(3));
  for (const SBoxDownloadResult& r : every.box.Results()) EXPECT_EQ(SBoxDownloadResult::kInterrupted, r.outcome);
}

TEST(SerialBoxFault, SwappedRequestIsServedAndCompletes) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kSwapRequest, "block:2")};
  CBoxLoop loop(settings, image);
  ASSERT_TRUE(loop.RunDownloads(1));
  EXPECT_TRUE(loop.box.Results()[0].Good()) << loop.box.Results()[0].reason;
  ASSERT_GE(loop.pc.requests.size(), 2u);
  EXPECT_EQ((std::vector<uint8_t>{0x02, 0x69}), loop.pc.requests[1]);
  EXPECT_TRUE(loop.Logged("02 69 DATA_HEADER for block 2 (2 of section 1), bytes swapped as asked"));
}

TEST(SerialBoxFault, GarbageBeforeAPoint) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 100}});
  SBoxSettings settings = Settings(image);
  SBoxFault given = Fault(SBoxFault::kGarbage, "header:1");
  given.bytes = {0x01, 0x02};
  SBoxFault random = Fault(SBoxFault::kGarbage, "sync");
  random.randomCount = 5;
  settings.faults = {given, random};
  CBoxLoop loop(settings, image);
  ASSERT_TRUE(loop.RunDownloads(1));
  EXPECT_TRUE(loop.box.Results()[0].Good());  // the test PC ignores bytes it does not expect
  const std::vector<uint8_t>& all = loop.pc.all;
  const std::vector<uint8_t> before = {0x01, 0x02, 0x70};
  auto at = std::search(all.begin(), all.end(), before.begin(), before.end());
  EXPECT_NE(all.end(), at);
  EXPECT_TRUE(loop.Logged("5 garbage bytes before SYNC at 9600 baud, as asked"));
}

TEST(SerialBoxFault, WrongEcho) {
  std::vector<uint8_t> image = MakeImage({{SSection::kAnal, 0}});
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kWrongEcho, "echo")};
  CBoxLoop flipped(settings, image);
  ASSERT_TRUE(flipped.RunDownloads(2));
  // The PC does not take 0x85 as an echo, so no data header comes.
  EXPECT_EQ(0x85, flipped.pc.echoes.at(0));
  const SBoxDownloadResult& r = flipped.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kInterrupted, r.outcome);
  EXPECT_NE(std::string::npos, r.reason.find("no data header 1 within 3000 ms, after wrong echo as asked")) << r.reason;
  EXPECT_EQ(std::vector<uint8_t>{0x59}, flipped.pc.errors);
  EXPECT_TRUE(flipped.box.Results()[1].Good());

  settings.faults = {Fault(SBoxFault::kWrongEcho, "echo", 0x07)};
  CBoxLoop other(settings, image);
  ASSERT_TRUE(other.RunDownloads(1));
  EXPECT_EQ(0x07, other.pc.echoes.at(0));
  EXPECT_TRUE(other.box.Results()[0].Good());
}

TEST(SerialBoxFault, BabbleRunsAtTheLineRate) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 5000}});
  SBoxSettings settings = Settings(image);
  settings.faults = {Fault(SBoxFault::kBabble, "block:2", 0, 100)};
  CBoxLoop loop(settings, image);
  ASSERT_TRUE(loop.RunDownloads(1));
  const SBoxDownloadResult& r = loop.box.Results()[0];
  EXPECT_EQ(SBoxDownloadResult::kInterrupted, r.outcome);
  // 100 ms at 115200 baud: 1152 bytes, in chunks of 32 (some lost while the PC, confused, reopens).
  EXPECT_NE(std::string::npos, r.reason.find("babble at block:2 for 100 ms ended after 1152 bytes")) << r.reason;
  loop.Run(loop.now + 10 * kBoxMs);
  EXPECT_GE(loop.pc.all.size() + loop.pc.lost, 1152u + 7);
}

TEST(SerialBox, FloodFromThePcIsBounded) {
  SBoxSettings settings;
  CSerialBox box(settings, 0);
  std::vector<uint8_t> flood(CSerialBox::kMaxPendingInput + 1000, 0x69);
  box.Feed(flood.data(), flood.size(), 0);
  bool overrun = false;
  for (const SBoxLogEntry& e : box.TakeLog())
    overrun |= e.text.find("receive overrun: 1000 bytes from the PC lost") != std::string::npos;
  EXPECT_TRUE(overrun);
  box.Feed(flood.data(), 10, 100);
  std::vector<SBoxLogEntry> log = box.TakeLog();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(std::string::npos, log.back().text.find("10 bytes from the PC lost (1010 in all)"));
}
