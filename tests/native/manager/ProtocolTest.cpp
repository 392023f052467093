// The serial download protocol, driven byte by byte against a recording host.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Crc32.h"
#include "ImageBuilder.h"
#include "ManagerEvents.h"
#include "RecordingHost.h"
#include "VelOldManagerProcessor.h"

namespace {

using Lines = std::vector<std::string>;
using P = CVelOldManagerProcessor;


std::string Hex(const unsigned char* p, std::size_t n) {
  std::string s = "write";
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, " %02x", p[i]);
    s += buf;
  }
  return s;
}

class Protocol : public ::testing::Test {
 protected:
  void Arm(const Bytes& image, unsigned long configuredBaud = 115200) {
    file = image;
    host.files["C:\\img\\box.img"] = image;
    host.configuredBaud = configuredBaud;
    p.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
    p.SetPort(&host);
    p.SetTransferFile("C:\\img\\box.img");
    host.Clear();
  }
  void Feed(std::initializer_list<unsigned char> bytes) {
    for (unsigned char b : bytes) p.OnReceiveByte(b);
  }
  // Feeds bytes and returns what they caused, then forgets it.
  Lines Step(std::initializer_list<unsigned char> bytes) {
    host.Clear();
    Feed(bytes);
    return host.Described();
  }
  // The lines a data header frame of this record produces.
  static Lines HeaderFrame(const Bytes& record) {
    Bytes frame = record;
    frame.resize(64, 0xFF);
    Lines out;
    for (int i = 0; i < 64; i += 8) out.push_back(Hex(&frame[i], 8));
    out.push_back("pause 1");
    out.push_back("0:Send DataHeader");
    return out;
  }
  // The lines a data block frame produces: 0x69, the sequence, 128 x 8 data, 4 checksum bytes.
  static Lines BlockFrame(unsigned char sequence, const Bytes& data1024) {
    Lines out{"write 69", Hex(&sequence, 1)};
    for (int i = 0; i < 1024; i += 8) out.push_back(Hex(&data1024[i], 8));
    const uint32_t sum = CCrc32::Compute(data1024.data(), 1024);
    for (int shift = 24; shift >= 0; shift -= 8) {
      const unsigned char b = static_cast<unsigned char>(sum >> shift);
      out.push_back(Hex(&b, 1));
    }
    out.push_back("pause 1");
    return out;
  }
  static Lines Join(std::initializer_list<Lines> parts) {
    Lines out;
    for (const Lines& l : parts) out.insert(out.end(), l.begin(), l.end());
    return out;
  }
  static std::string Progress(int offset) { return "3:" + std::to_string(offset) + "l"; }
  Bytes Slice(std::size_t from, std::size_t n) const {
    return Bytes(file.begin() + from, file.begin() + from + n);
  }
  // Requests the 14 blocks of a one-ANAL section, numbered 1 to 9, 0, 1 to 4.
  void RequestAnalBlocks() {
    for (int block = 1; block <= 14; ++block) Feed({0x69, static_cast<unsigned char>(block % 10)});
  }
  // Brings the processor through handshake, READY, FUNC and its echo.
  void ToHeaderRequest(unsigned char echo = 0x05) {
    Feed({0x22, 0x05, 0xD0, echo});
    ASSERT_EQ(P::kWaitHeaderRep, p.GetState());
    host.Clear();
  }

  RecordingHost host;
  volatile int cancel = 0;
  CVelOldManagerProcessor p{&host};
  Bytes file;
};

}  // namespace

TEST_F(Protocol, NormalExchangeOfOneAnalSectionAt115200) {
  Arm(ImageBuilder().Anal().End().Get());
  ASSERT_EQ(14444u, file.size());
  host.lineBaud = 9600;

  EXPECT_EQ((Lines{"read C:\\img\\box.img", "4:14444l", "write 22", "write 05", "pause 200", "close",
                   "open COM1 115200", "pause 200", Progress(0)}),
            Step({0x22}));
  EXPECT_EQ(P::kWaitReady, p.GetState());
  EXPECT_EQ((Lines{"0:Received READY from STB", "write 05", "0:Send READY_ACK to STB", "busy 1", Progress(0)}),
            Step({0x05}));
  EXPECT_EQ(P::kWaitFunc, p.GetState());
  EXPECT_EQ((Lines{"0:Received FUNC from STB", "write 05", "0:Send FUNC_DATA_ANAL to STB", Progress(0)}),
            Step({0xD0}));
  EXPECT_EQ(P::kWaitFuncEcho, p.GetState());
  EXPECT_EQ(3, p.GetImageKind());
  EXPECT_EQ((Lines{"0:Received FUNC_PROGRAM from STB", Progress(0)}), Step({0x05}));
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());

  EXPECT_EQ(Join({{"0:Received HEADER_REP from STB"}, HeaderFrame(Slice(0, 44)),
                  {"0:Start Downloading...", Progress(64)}}),
            Step({0x70}));
  EXPECT_EQ(P::kWaitDataHeader, p.GetState());
  EXPECT_EQ(14336, P::Remaining());

  for (int block = 1; block <= 14; ++block) {
    const unsigned char n = static_cast<unsigned char>(block % 10);
    EXPECT_EQ((Lines{Progress(64 + (block - 1) * 1024)}), Step({0x69})) << block;
    const unsigned char sequence = block < 14 ? n : 0xEE;
    EXPECT_EQ(Join({BlockFrame(sequence, Slice(64 + (block - 1) * 1024, 1024)), {Progress(64 + block * 1024)}}),
              Step({n}))
        << "block " << block;
    EXPECT_EQ(block < 14 ? P::kWaitDataHeader : P::kWaitHeaderRep, p.GetState());
  }

  Bytes end = Slice(14400, 44);
  end[0] = 0;
  EXPECT_EQ(Join({{"0:Received HEADER_REP from STB"}, HeaderFrame(end),
                  {"beep 0", "purge", "pause 500", "0:Download Completed!", "busy 0", "pause 500", "close",
                   "box Download Completed! | OK | 0", "open COM1 9600", "complete"}}),
            Step({0x70}));
  EXPECT_EQ(P::kIdle, p.GetState());
  EXPECT_EQ(0, p.GetOffset());
  EXPECT_EQ(nullptr, p.GetReceiveBuffer());
  // Every step restarted the silence timer; the completion did not.
  EXPECT_EQ("open COM1 9600", host.log[host.log.size() - 2].Describe());

  // Idle: bytes only bring the reminder.
  EXPECT_EQ((Lines{"1:Please, select a file to download", Progress(0)}), Step({0x22}));
  EXPECT_EQ((Lines{Progress(0)}), Step({0x00}));
}

TEST_F(Protocol, At9600TheHandshakeDoesNotReopenThePort) {
  Arm(ImageBuilder().Anal().End().Get(), 9600);
  EXPECT_EQ((Lines{"read C:\\img\\box.img", "4:14444l", "write 22", "write 01", Progress(0)}), Step({0x22}));
  // Rates outside the table send no code but still switch.
  Arm(ImageBuilder().Anal().End().Get(), 14400);
  EXPECT_EQ((Lines{"read C:\\img\\box.img", "4:14444l", "write 22", "pause 200", "close", "open COM1 14400",
                   "pause 200", Progress(0)}),
            Step({0x22}));
}

TEST_F(Protocol, EveryHandledByteRestartsTheSilenceTimer) {
  Arm(ImageBuilder().Anal().End().Get());
  p.SetTransferFile("C:\\img\\box.img");
  EXPECT_EQ((Lines{"kill timer 10"}), host.Described(true)) << "arming stops the timer";
  host.Clear();
  Feed({0x22});
  const Lines all = host.Described(true);
  const auto kill = std::find(all.begin(), all.end(), "kill timer 10");
  ASSERT_NE(all.end(), kill);
  EXPECT_EQ("set timer 10 120000", *(kill + 1));
  EXPECT_EQ(Progress(0), *(kill + 2));
  // A rejected SYNC byte brings nothing at all.
  Arm(ImageBuilder().Anal().End().Get());
  Feed({0x13});
  EXPECT_TRUE(host.log.empty());
  EXPECT_EQ(P::kWaitSync, p.GetState());
}

TEST_F(Protocol, ProgramImageSendsItsDeclaredLengthInBlocks) {
  // 3000 payload bytes: blocks 1 and 2 with 1024 bytes, then 0xEE with 952.
  Arm(ImageBuilder().Program(3000).End().Get());
  host.lineBaud = 115200;
  Feed({0x22, 0x05});
  EXPECT_EQ((Lines{"0:Received FUNC from STB", "write 07", "0:Send FUNC_PROGRAM to STB", Progress(0)}),
            Step({0xD0}));
  Feed({0x07, 0x70});
  EXPECT_EQ(3000, P::Remaining());
  Step({0x69, 0x01});
  Step({0x69, 0x02});
  EXPECT_EQ(P::kWaitDataHeader, p.GetState());
  Step({0x69, 0x03});
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  EXPECT_EQ(-72, P::Remaining());
  EXPECT_EQ(0xEE, p.GetBlockFrame()[1]);
  // Bytes beyond the 952 still hold the previous block's data.
  EXPECT_TRUE(std::equal(file.begin() + 64 + 2048, file.begin() + 64 + 3000, p.GetBlockFrame() + 2));
  EXPECT_TRUE(std::equal(file.begin() + 64 + 1024 + 952, file.begin() + 64 + 2048, p.GetBlockFrame() + 2 + 952));
  EXPECT_EQ(64 + 3000, p.GetOffset());
  Step({0x70});
  EXPECT_EQ(P::kIdle, p.GetState());
}

TEST_F(Protocol, ExactlyOneBlockAndEmptyPayloads) {
  // 1024 bytes: one block marked 0xEE.
  Arm(ImageBuilder().Program(1024).Dig().End().Get());
  ToHeaderRequest(0x07);
  Step({0x70});
  Lines block = Step({0x69, 0x01});
  EXPECT_EQ("write ee", block.at(2));
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  // A DIG section has no payload: one 0xEE block with no image bytes, the data area still
  // holding the previous block.
  Step({0x70});
  EXPECT_EQ(0, P::Remaining());
  const int before = p.GetOffset();
  block = Step({0x69, 0x01});
  EXPECT_EQ(Join({{Progress(before)}, BlockFrame(0xEE, Slice(64, 1024)), {Progress(before)}}), block);
  EXPECT_EQ(before, p.GetOffset());
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  Step({0x70});
  EXPECT_EQ(P::kIdle, p.GetState());
}

TEST_F(Protocol, TheBlockFrameStartsCleared) {
  // A first block with an empty payload sums 1024 zero bytes.
  Arm(ImageBuilder().Dig().Anal().End().Get());
  ToHeaderRequest(0x06);
  Step({0x70});
  EXPECT_EQ(Join({{Progress(64)}, BlockFrame(0xEE, Bytes(1024, 0)), {Progress(64)}}), Step({0x69, 0x01}));
}

TEST_F(Protocol, TwoAnalSectionsAndFunctionCodesByKind) {
  Arm(ImageBuilder().Anal(1).Anal(2).End().Get());
  ToHeaderRequest();
  for (int section = 0; section < 2; ++section) {
    Step({0x70});
    EXPECT_EQ(P::kWaitDataHeader, p.GetState());
    RequestAnalBlocks();
    EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  }
  EXPECT_EQ(2 * 14400, p.GetOffset());
  Step({0x70});
  EXPECT_EQ(P::kIdle, p.GetState());

  struct {
    Bytes image;
    const char* line;
  } kinds[] = {{ImageBuilder().Dig().Dig().Raw(NoSectionRecords(3008)).End().Get(), "write 04"},
               {ImageBuilder().Dig().Anal().End().Get(), "write 06"}};
  for (auto& k : kinds) {
    Arm(k.image);
    Feed({0x22, 0x05});
    EXPECT_EQ(k.line, Step({0xD0}).at(1));
  }
}

TEST_F(Protocol, InvalidImagesSendNoFunctionCode) {
  Bytes exactly2048 = ImageBuilder().Program(100).End().Get();
  exactly2048.resize(2048, 0);
  for (const Bytes& image : {exactly2048, Bytes{}}) {
    Arm(image);
    Feed({0x22, 0x05});
    EXPECT_EQ((Lines{"0:Received FUNC from STB", "1:Image file is invalid.", Progress(0)}), Step({0xD0}));
    EXPECT_EQ(P::kWaitFuncEcho, p.GetState());
  }
  // A size-0 image still reports its total.
  Arm(Bytes{});
  EXPECT_EQ("4:0l", Step({0x22}).at(1));
}

TEST_F(Protocol, TruncatedImagesAreRefusedBeforeAnythingIsSent) {
  Bytes cut = ImageBuilder().Anal().End().Get();
  cut.resize(9000);
  Arm(cut);
  Feed({0x22, 0x05});
  EXPECT_EQ((Lines{"0:Received FUNC from STB",
                   "1:Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                   "1:Image file is invalid.", Progress(0)}),
            Step({0xD0}));
  Arm(ImageBuilder().Anal().Get());  // no end record
  Feed({0x22, 0x05});
  EXPECT_EQ("1:Image file is truncated: no end record after offset 14400.", Step({0xD0}).at(1));
}

TEST_F(Protocol, EndRecordAtTheVeryEndOrCutShort) {
  // The end record starting 44 bytes before the end completes the download.
  Arm(ImageBuilder().Anal().End(0x33).Get());
  ToHeaderRequest();
  Step({0x70});
  RequestAnalBlocks();
  Lines done = Step({0x70});
  Bytes end = Slice(14400, 44);
  end[0] = 0;
  EXPECT_EQ(Join({{"0:Received HEADER_REP from STB"}, HeaderFrame(end)}), Lines(done.begin(), done.begin() + 11));
  // An end record cut short is padded with zeros, never with bytes from outside the image.
  Bytes shortEnd = ImageBuilder().Anal().End().Get();
  shortEnd.resize(14400 + 10);
  Arm(shortEnd);
  ToHeaderRequest();
  Step({0x70});
  RequestAnalBlocks();
  done = Step({0x70});
  Bytes padded(Slice(14400, 10));
  padded[0] = 0;
  padded.resize(44, 0);
  EXPECT_EQ(HeaderFrame(padded), Lines(done.begin() + 1, done.begin() + 11));
  EXPECT_EQ(P::kIdle, p.GetState());
}

TEST_F(Protocol, SwappedRequestBytesAreReportedAndServed) {
  Arm(ImageBuilder().Anal().End().Get());
  ToHeaderRequest();
  Step({0x70});
  const Lines lines = Step({0x01, 0x69});
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ("1:Invalid Protocol : DATA_HEADER 2 1 69", lines[1]);
  EXPECT_EQ(Join({{Progress(64), "1:Invalid Protocol : DATA_HEADER 2 1 69"}, BlockFrame(1, Slice(64, 1024)),
                  {Progress(64 + 1024)}}),
            lines);
  EXPECT_EQ(2, p.GetBlockCounter());
  // Two bytes that are no request at all: reported with 0, nothing sent, still waiting.
  EXPECT_EQ((Lines{Progress(1088), "1:Invalid Protocol : DATA_HEADER 0 12 34", Progress(1088)}),
            Step({0x12, 0x34}));
  EXPECT_EQ(P::kWaitDataHeader, p.GetState());
}

TEST_F(Protocol, AWrongBlockNumberIsAnsweredAndEndsTheSection) {
  Arm(ImageBuilder().Anal().End().Get());
  ToHeaderRequest();
  Step({0x70});
  const Lines lines = Step({0x69, 0x05});
  // The block sent carries the expected number 1, then the processor waits for a header request.
  EXPECT_EQ("write 01", lines.at(2));
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  EXPECT_EQ(1, p.GetBlockCounter());
  EXPECT_EQ(14336, P::Remaining());
}

TEST_F(Protocol, ErrorReportsInEveryState) {
  const std::pair<unsigned char, const char*> reports[] = {
      {0x51, "Function Communication"}, {0x52, "Unknown"},          {0x53, "Download End"},
      {0x54, "Header is wrong"},        {0x55, "Data Communication"}, {0x56, "Count number"},
      {0x57, "Checksum check"},         {0x58, "Frash erase failure"}, {0x59, "Header communication"},
      {0x5A, "Data communication"},     {0x00, "Unknown"},          {0xFF, "Unknown"}};
  // Reaches a state, then feeds the report.
  const std::vector<std::vector<unsigned char>> paths = {
      {}, {0x22}, {0x22, 0x05}, {0x22, 0x05, 0xD0}, {0x22, 0x05, 0xD0, 0x05}, {0x22, 0x05, 0xD0, 0x05, 0x70},
      {0x22, 0x05, 0xD0, 0x05, 0x70, 0x69, 0x01}};
  for (const auto& report : reports) {
    for (const auto& path : paths) {
      Arm(ImageBuilder().Anal().End().Get());
      for (unsigned char b : path) p.OnReceiveByte(b);
      const int stateBefore = p.GetState();
      host.Clear();
      p.OnReceiveByte(0x50);
      EXPECT_TRUE(host.log.empty()) << "0x50 alone waits for its code";
      p.OnReceiveByte(report.first);
      EXPECT_EQ((Lines{std::string("1:") + report.second}), host.Described())
          << "state " << stateBefore << " code " << int(report.first);
      EXPECT_EQ(P::kWaitSync, p.GetState());
      EXPECT_EQ(0, p.GetOffset());
      EXPECT_EQ(0, p.GetReceivedCount());
    }
  }
  // Idle stays idle.
  Arm(ImageBuilder().Anal().End().Get());
  p.SetState(P::kIdle);
  Feed({0x50, 0x57});
  EXPECT_EQ(P::kIdle, p.GetState());
}

TEST_F(Protocol, UnexpectedBytesAreReportedWhereTheStateTableSays) {
  Arm(ImageBuilder().Anal().End().Get());
  Feed({0x22});
  EXPECT_EQ((Lines{"1:Invalid Protocol 1 : READY", Progress(0)}), Step({0x07}));
  EXPECT_EQ(P::kWaitSync, p.GetState());
  Feed({0x22, 0x05});
  EXPECT_EQ((Lines{"1:invalid Protocol : FUNC(0x3c)", Progress(0)}), Step({0x3C}));
  EXPECT_EQ(P::kWaitFunc, p.GetState());
  Feed({0xD0});
  EXPECT_EQ((Lines{"1:Invalid Protocol : FUNC_PROGRAM", Progress(0)}), Step({0x08}));
  EXPECT_EQ(P::kWaitFuncEcho, p.GetState());
  // Any of the four function codes is taken as the echo.
  EXPECT_EQ((Lines{"0:Received FUNC_PROGRAM from STB", Progress(0)}), Step({0x04}));
  // Waiting for a header request, stray bytes are dropped, so what follows still counts.
  EXPECT_EQ((Lines{Progress(0)}), Step({0x11}));
  EXPECT_EQ(0, p.GetReceivedCount());
  EXPECT_EQ(P::kWaitHeaderRep, p.GetState());
  EXPECT_EQ((Lines{"1:Checksum check"}), Step({0x50, 0x57}));
  Feed({0x22, 0x05, 0xD0, 0x05, 0x69});
  EXPECT_EQ("0:Received HEADER_REP from STB", Step({0x70}).at(0));
}

TEST_F(Protocol, ABabblingBoxNeverOverrunsTheReceiveBuffer) {
  Arm(ImageBuilder().Anal().End().Get());
  uint32_t x = 99;
  for (int i = 0; i < 3 * CVelManagerProcessor::kReceiveBufferSize; ++i) {
    x = x * 1103515245u + 12345u;
    p.OnReceiveByte(static_cast<unsigned char>(x >> 16));
    ASSERT_LE(p.GetReceivedCount(), CVelManagerProcessor::kReceiveBufferSize);
  }
}

TEST_F(Protocol, ABoxThatStartsOverMidDownloadEndsItInWordsAndItsSyncStartsTheNext) {
  // From FUNC to the last block request: READY_ACK sent, function echoed, header or block awaited.
  const std::vector<std::vector<unsigned char>> paths = {
      {0x22, 0x05}, {0x22, 0x05, 0xD0}, {0x22, 0x05, 0xD0, 0x05}, {0x22, 0x05, 0xD0, 0x05, 0x70},
      {0x22, 0x05, 0xD0, 0x05, 0x70, 0x69, 0x01, 0x69, 0x02}};
  for (std::size_t i = 0; i < paths.size(); ++i) {
    Arm(ImageBuilder().Anal().End().Get());
    host.lineBaud = 9600;
    for (unsigned char b : paths[i]) p.OnReceiveByte(b);
    // A new handshake at the line's rate (115200 since the first one): echo and baud code, no reopen.
    EXPECT_EQ((Lines{"1:STB started again during the download (it sent SYNC): download stopped, a new one starts.",
                     "read C:\\img\\box.img", "4:14444l", "write 22", "write 05", Progress(0)}),
              Step({0x22}))
        << "state path " << i;
    EXPECT_EQ(P::kWaitReady, p.GetState());
    EXPECT_EQ(0, p.GetOffset());
    EXPECT_EQ("0:Received READY from STB", Step({0x05}).at(0)) << "state path " << i;
  }
  // Waiting for READY, a SYNC is a repeat that crossed the echo, as before; idle, it is no download.
  Arm(ImageBuilder().Anal().End().Get());
  Feed({0x22});
  EXPECT_EQ((Lines{"1:Invalid Protocol 1 : READY", Progress(0)}), Step({0x22}));
  Arm(ImageBuilder().Anal().End().Get());
  ToHeaderRequest();
  Step({0x70});
  RequestAnalBlocks();
  Step({0x70});
  ASSERT_EQ(P::kIdle, p.GetState());
  EXPECT_EQ((Lines{"1:Please, select a file to download", Progress(0)}), Step({0x22}));
}

TEST_F(Protocol, CancelIsHonouredAfterTheNextByte) {
  const std::vector<std::vector<unsigned char>> paths = {
      {}, {0x22}, {0x22, 0x05}, {0x22, 0x05, 0xD0}, {0x22, 0x05, 0xD0, 0x05}, {0x22, 0x05, 0xD0, 0x05, 0x70}};
  const std::vector<unsigned char> nextByte = {0x22, 0x05, 0xD0, 0x05, 0x70, 0x69};
  for (std::size_t i = 0; i < paths.size(); ++i) {
    Arm(ImageBuilder().Anal().End().Get());
    for (unsigned char b : paths[i]) p.OnReceiveByte(b);
    cancel = 1;
    host.Clear();
    p.OnReceiveByte(nextByte[i]);
    const Lines lines = host.Described(true);
    ASSERT_GE(lines.size(), 10u) << i;
    EXPECT_EQ((Lines{"kill timer 10", "set timer 10 120000", "cancel event", "0*:Canceled...", "update",
                     "pause 200", "close", "open COM1 9600", "pause 200", "kill timer 10"}),
              Lines(lines.end() - 10, lines.end()))
        << "state path " << i;
    EXPECT_TRUE(host.EventTexts(EVENT_PROGRESS).empty()) << "no progress once cancelled";
    EXPECT_EQ(P::kWaitSync, p.GetState());
    EXPECT_EQ(0, p.GetReceivedCount());
    EXPECT_EQ(1, cancel) << "the client clears the flag";
    cancel = 0;
  }
}

TEST_F(Protocol, CancelIsNotHonouredOnReportsRejectedSyncOrCompletion) {
  Arm(ImageBuilder().Anal().End().Get());
  cancel = 1;
  Feed({0x13});  // rejected SYNC byte
  Feed({0x50, 0x57});
  EXPECT_TRUE(std::none_of(host.log.begin(), host.log.end(),
                           [](const HostAction& a) { return a.kind == HostAction::kCancel; }));
  cancel = 0;
  ToHeaderRequest();
  Step({0x70});
  RequestAnalBlocks();
  cancel = 1;
  Step({0x70});
  EXPECT_EQ(P::kIdle, p.GetState());
  EXPECT_TRUE(std::none_of(host.log.begin(), host.log.end(),
                           [](const HostAction& a) { return a.kind == HostAction::kCancel; }));
}

TEST_F(Protocol, MissingFileKeepsThePreviousImage) {
  Arm(ImageBuilder().Anal().End().Get());
  Feed({0x22});
  EXPECT_EQ(14444u, p.GetImageSize());
  p.SetTransferFile("C:\\img\\gone.img");
  host.Clear();
  const Lines lines = Step({0x22});
  EXPECT_EQ("box CVelOldManagerProcessor::SetFilePath() - CreateFile(\"C:\\img\\gone.img\") Failed! | (none) | 16",
            lines.at(1));
  EXPECT_EQ("4:14444l", lines.at(2));
  // Without any image loaded before, the handshake goes on with an empty one.
  CVelOldManagerProcessor fresh(&host);
  fresh.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
  fresh.SetPort(&host);
  fresh.SetTransferFile("C:\\img\\gone.img");
  host.Clear();
  fresh.OnReceiveByte(0x22);
  EXPECT_EQ((std::vector<std::string>{"0l"}), host.EventTexts(EVENT_TOTAL));
}

TEST_F(Protocol, AReloadReplacesTheImage) {
  Arm(ImageBuilder().Anal().End().Get());
  Feed({0x22});
  host.files["C:\\img\\box.img"] = ImageBuilder().Program(10).End().Get();
  p.SetTransferFile("C:\\img\\box.img");
  Feed({0x22});
  EXPECT_EQ(64u + 10 + 44, p.GetImageSize());
  EXPECT_EQ(0, p.GetOffset());
}

// A client that arms again while the completion is reported (on "Download Completed!", on
// the idle notification or on the completion event itself) keeps its new state: the next box
// is served, and what the client is told of the completion does not change.
TEST_F(Protocol, ARearmDuringOrAfterTheCompletionIsKept) {
  const Lines completion = {"beep 0", "purge", "pause 500", "0:Download Completed!", "busy 0", "pause 500",
                            "close", "box Download Completed! | OK | 0", "open COM1 9600", "complete"};
  const struct {
    const char* at;        // Describe() form of the notification the client re-arms in
    bool stopFirst;        // StopTransfer's reset before the new arm, as the serial view does
  } cases[] = {{"0:Download Completed!", false}, {"busy 0", false}, {"complete", false}, {"complete", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.at) + (c.stopFirst ? " after a stop" : ""));
    Arm(ImageBuilder().Anal().End().Get());
    ToHeaderRequest();
    Step({0x70});
    RequestAnalBlocks();
    bool rearmed = false;
    host.onEvent = [&](const HostAction& a) {
      if (rearmed || a.Describe() != c.at) return;
      if (c.stopFirst) {
        p.ClearReceiveBuffer();
        p.SetState(P::kWaitSync);
      }
      p.SetTransferFile("C:\\img\\box.img");
      rearmed = true;
    };
    const Lines lines = Step({0x70});
    host.onEvent = nullptr;
    ASSERT_TRUE(rearmed);
    ASSERT_GE(lines.size(), completion.size());
    EXPECT_EQ(completion, Lines(lines.end() - completion.size(), lines.end()));
    EXPECT_EQ(P::kWaitSync, p.GetState());
    // The next box's SYNC starts a handshake, not the reminder to select a file.
    EXPECT_EQ((Lines{"read C:\\img\\box.img", "4:14444l", "write 22", "write 05", "pause 200", "close",
                     "open COM1 115200", "pause 200", Progress(0)}),
              Step({0x22}));
  }
}

// Once the line's device has gone, the step in hand writes what it was writing (the port
// fails those writes) and stops there: nothing claims what did not reach the box (no "Send
// ..." line, no busy flag, no completion), and no timer restart or progress follows. The
// port's reader then ends the monitor and the processor waits for SYNC, idle.
TEST_F(Protocol, ALostLineEndsTheStepAtItsWriteAndThePortLossLeavesTheProcessorWaitingForSync) {
  const Bytes image = ImageBuilder().Anal().End().Get();
  Bytes end(image.begin() + 14400, image.begin() + 14444);
  end[0] = 0;
  Bytes block4(image.begin() + 64 + 3 * 1024, image.begin() + 64 + 4 * 1024);
  // A data header's frame without its "Send DataHeader" line.
  auto headerWrites = [](const Bytes& record) {
    Lines l = HeaderFrame(record);
    l.pop_back();
    return l;
  };
  const struct {
    const char* step;
    Bytes before;  // what the box sent while the line was there
    Bytes last;    // the request the line goes during
    Lines lines;   // everything it causes
  } cases[] = {
      {"SYNC", {}, {0x22}, {"read C:\\img\\box.img", "4:14444l", "write 22", "write 05"}},
      {"READY", {0x22}, {0x05}, {"0:Received READY from STB", "write 05"}},
      {"FUNC", {0x22, 0x05}, {0xD0}, {"0:Received FUNC from STB", "write 05"}},
      {"header", {0x22, 0x05, 0xD0, 0x05}, {0x70},
       Join({{"0:Received HEADER_REP from STB"}, headerWrites(Bytes(image.begin(), image.begin() + 44))})},
      {"block", {0x22, 0x05, 0xD0, 0x05, 0x70, 0x69, 0x01, 0x69, 0x02, 0x69, 0x03, 0x69}, {0x04},
       BlockFrame(0x04, block4)},
      {"end header", {}, {0x70}, Join({{"0:Received HEADER_REP from STB"}, headerWrites(end)})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    Arm(image);
    if (std::string(c.step) == "end header") {
      ToHeaderRequest();
      Step({0x70});
      RequestAnalBlocks();
    }
    for (unsigned char b : c.before) p.OnReceiveByte(b);
    const int state = p.GetState();
    host.lineLost = true;
    host.Clear();
    for (unsigned char b : c.last) p.OnReceiveByte(b);
    EXPECT_EQ(c.lines, host.Described());
    for (const std::string& line : host.Described(true)) EXPECT_NE(0u, line.rfind("set timer", 0)) << line;
    EXPECT_EQ(state, p.GetState()) << "the step stopped before it moved on";

    host.Clear();
    p.OnPortLost();
    EXPECT_EQ((Lines{"kill timer 10", "busy 0", "update"}), host.Described(true));
    EXPECT_EQ(P::kWaitSync, p.GetState());
    EXPECT_EQ(0, p.GetReceivedCount());
    host.lineLost = false;
  }
}

TEST(ProtocolConstants, HeaderBufferAtLoadAndBaudCodes) {
  // Nothing has downloaded in this test program before this point only if run alone; the
  // tag bytes are never changed by a download of images made with the maker tag.
  const unsigned char* h = CVelOldManagerProcessor::HeaderBuffer();
  EXPECT_EQ(0, std::memcmp(h + 1, "KORVANTEX                    ", 29));
  EXPECT_EQ(0, h[30]);
  EXPECT_EQ(0x01, CVelOldManagerProcessor::BaudCode(9600));
  EXPECT_EQ(0x02, CVelOldManagerProcessor::BaudCode(19200));
  EXPECT_EQ(0x03, CVelOldManagerProcessor::BaudCode(38400));
  EXPECT_EQ(0x04, CVelOldManagerProcessor::BaudCode(57600));
  EXPECT_EQ(0x05, CVelOldManagerProcessor::BaudCode(115200));
  EXPECT_EQ(0x00, CVelOldManagerProcessor::BaudCode(4800));
}
