// The image report against what the library does with the same image: a whole download on
// virtual time against the box simulator, or the library's refusal.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "ImageBuilder.h"
#include "ImageInspection.h"
#include "LineHost.h"
#include "ManagerEvents.h"
#include "VelOldManagerProcessor.h"

namespace {

// What the library did with an image against a box that follows the protocol.
struct LibraryRun {
  bool completed = false;
  std::vector<unsigned char> toBox;  // everything the PC wrote
  size_t fromBox = 0;                // bytes the PC took in up to the completion
  double seconds = 0;                // from the box's first SYNC to the completion event
  std::vector<std::string> errors;
};

LibraryRun Download(const Bytes& image, unsigned long baud) {
  SBoxSettings settings;
  settings.compare = true;
  settings.reference = image;
  CSerialBox box(settings, 0);
  LineHost host(box);
  host.files["box.img"] = image;
  host.configuredBaud = baud;
  volatile int cancel = 0;
  CVelOldManagerProcessor processor(&host);
  processor.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
  processor.SetPort(&host);
  processor.SetTransferFile("box.img");
  LibraryRun run;
  bool refused = false;
  host.onEvent = [&](const HostAction& a) {
    if (a.kind == HostAction::kComplete) {
      run.completed = true;
      run.seconds = host.now / 1e6;
    }
    if (a.kind == HostAction::kSend && a.number == EVENT_ERROR && a.text == "Image file is invalid.") refused = true;
  };
  while (!run.completed && !refused && host.now < 120 * 1000 * kBoxMs) {
    if (host.input.empty()) {
      host.Until(host.now + LineHost::kPollUs);
      continue;
    }
    const unsigned char b = host.input.front();
    host.input.pop_front();
    ++run.fromBox;
    processor.OnReceiveByte(b);
  }
  run.toBox = host.Written();
  run.errors = host.EventTexts(EVENT_ERROR);
  return run;
}

CImageInspection Inspect(const Bytes& image) { return CImageInspection(image); }

Bytes DigOnly(int sections) {
  ImageBuilder b;
  for (int i = 0; i < sections; ++i) b.Dig(i % 2);
  return b.End().Get();
}

}  // namespace

TEST(ImageInspection, AcceptedImagesCrossTheLineAsReported) {
  const struct {
    const char* what;
    Bytes image;
    unsigned char code;
  } cases[] = {
      {"ANAL", ImageBuilder().Anal().End().Get(), 0x05},
      {"two ANAL sections", ImageBuilder().Anal(1).Anal(2).End().Get(), 0x05},
      {"program", ImageBuilder().Program(3000).End().Get(), 0x07},
      {"DIG only", DigOnly(40), 0x04},
      {"DIG and ANAL", ImageBuilder().Dig().Anal(5).End().Get(), 0x06},
      {"program then ANAL", ImageBuilder().Program(1024).Anal(7).End().Get(), 0x07},
  };
  for (const auto& c : cases) {
    const CImageInspection report = Inspect(c.image);
    ASSERT_TRUE(report.Accepted()) << c.what;
    EXPECT_EQ(c.code, report.FunctionCode()) << c.what;
    for (unsigned long baud : {9600ul, 115200ul}) {
      const LibraryRun run = Download(c.image, baud);
      ASSERT_TRUE(run.completed) << c.what << " at " << baud;
      ASSERT_GE(run.toBox.size(), 4u);
      EXPECT_EQ(report.FunctionCode(), run.toBox[3]) << c.what;
      EXPECT_EQ(report.BytesToBox(), run.toBox.size()) << c.what;
      EXPECT_EQ(report.BytesFromBox(), run.fromBox) << c.what;
      // The library's time is the report's, plus what the box adds: its 600 ms wait after
      // the baud code beyond the PC's own 400 ms pause (there is none at 9600), and up to
      // one 5 ms poll for each of its requests.
      const double estimate = report.TimeAt(baud).Total();
      const double slack = (baud == 9600 ? 0.6 : 0.2) + 0.005 * report.BytesFromBox() + 0.01;
      EXPECT_GE(run.seconds, estimate - 0.01) << c.what << " at " << baud;
      EXPECT_LE(run.seconds, estimate + slack) << c.what << " at " << baud;
    }
  }
}

TEST(ImageInspection, SectionsBlocksAndTheEndRecord) {
  Bytes image = ImageBuilder().Program(3000).Dig(1).Anal().End().Get();
  image.resize(image.size() - 30);  // the end record cut short
  const CImageInspection report = Inspect(image);
  ASSERT_TRUE(report.Accepted());
  ASSERT_EQ(3u, report.Sections().size());
  const auto& program = report.Sections()[0];
  EXPECT_EQ(0, program.offset);
  EXPECT_TRUE(program.program);
  EXPECT_EQ(3000, program.length);
  EXPECT_EQ(3, program.blocks);
  EXPECT_EQ(952, program.lastBlockPayload);
  const auto& dig = report.Sections()[1];
  EXPECT_EQ(3064, dig.offset);
  EXPECT_EQ(1, dig.dataKind);
  EXPECT_EQ(0, dig.length);
  EXPECT_EQ(1, dig.blocks);  // a section without payload still takes one 0xEE block
  EXPECT_EQ(0, dig.lastBlockPayload);
  const auto& anal = report.Sections()[2];
  EXPECT_EQ(14, anal.blocks);
  EXPECT_EQ(1024, anal.lastBlockPayload);
  EXPECT_EQ(3064 + 64 + 64 + 14336, report.EndOffset());
  EXPECT_EQ(14, report.EndRecordBytes());
  EXPECT_NE(std::string::npos, report.Text("box.img").find("end       offset 17528, 14 of 44 bytes (the rest is sent as zeros)"));
  // The short end record is still sent whole, padded with zeros.
  const LibraryRun run = Download(image, 115200);
  EXPECT_TRUE(run.completed);
  EXPECT_EQ(report.BytesToBox(), run.toBox.size());
}

TEST(ImageInspection, RefusedImagesGetTheLibrarysOwnWords) {
  Bytes truncated = ImageBuilder().Anal().End().Get();
  truncated.resize(9000);
  Bytes small = ImageBuilder().Program(100).End().Get();
  small.resize(2048, 0);
  const Bytes noEnd = ImageBuilder().Anal().Get();
  for (const Bytes& image : {truncated, small, noEnd, Bytes{}}) {
    const CImageInspection report = Inspect(image);
    EXPECT_FALSE(report.Accepted()) << image.size();
    EXPECT_EQ(nullptr, report.FunctionName());
    EXPECT_EQ(0u, report.BytesToBox());
    const LibraryRun run = Download(image, 115200);
    EXPECT_FALSE(run.completed);
    EXPECT_EQ(report.Problems(), run.errors) << image.size();
  }
  EXPECT_EQ((std::vector<std::string>{
                "Image file is truncated: the section at offset 0 needs 14336 payload bytes, 8936 remain.",
                "Image file is invalid."}),
            Inspect(truncated).Problems());
}

TEST(ImageInspection, JsonCarriesTheSameFacts) {
  using nlohmann::json;
  const json report = json::parse(Inspect(ImageBuilder().Anal().End().Get()).Json("dir\\box \"1\".img"));
  EXPECT_EQ("dir\\box \"1\".img", report["image"]);
  EXPECT_EQ(14444, report["size"]);
  EXPECT_EQ(true, report["accepted"]);
  EXPECT_EQ(json({{"code", 5}, {"name", "FUNC_DATA_ANAL"}}), report["function"]);
  EXPECT_EQ(json::parse(R"([{"offset": 0, "flag": 1, "type": "data", "kind": "ANAL", "unit": "-",
                             "payload": 14336, "blocks": 14, "last_block_payload": 1024}])"),
            report["sections"]);
  EXPECT_EQ(json({{"offset", 14400}, {"bytes", 44}}), report["end_record"]);
  ASSERT_EQ(5u, report["times"].size());
  EXPECT_EQ(115200, report["times"][4]["baud"]);
  const json refused = json::parse(Inspect(Bytes(100, 0)).Json("x"));
  EXPECT_EQ(false, refused["accepted"]);
  EXPECT_EQ(json({"Image file is invalid."}), refused["problems"]);
  EXPECT_TRUE(refused["function"].is_null());
  EXPECT_TRUE(refused["times"].empty());
  // A name in no valid encoding still gives a JSON text.
  EXPECT_NO_THROW((void)json::parse(Inspect(Bytes(100, 0)).Json("box\xff\xfe.img")));
}

TEST(ImageInspection, RefusalsSayWhatTheLibrarysWordsLeaveOut) {
  const Bytes whole = ImageBuilder().Anal().End().Get();  // 14444 bytes, end record at 14400
  auto plus = [&](std::size_t n, unsigned char b) {
    Bytes image = whole;
    image.insert(image.end(), n, b);
    return image;
  };
  const struct {
    const char* what;
    Bytes image;
    const char* why;  // empty: nothing to add
  } cases[] = {
      {"a whole program image of 208 bytes", ImageBuilder().Program(100).End().Get(),
       "the library looks for sections only in images of more than 2048 bytes; this one has 208"},
      {"a whole image of exactly 2048 bytes", ImageBuilder().Program(2048 - 64 - 44).End().Get(),
       "the library looks for sections only in images of more than 2048 bytes; this one has 2048"},
      {"10 stray bytes", plus(10, 0xFF),
       "a whole image ends at byte 14444 (its end record at offset 14400); the 10 bytes after it are stray and "
       "the library reads them as sections"},
      {"100 stray zeros", plus(100, 0x00),
       "a whole image ends at byte 14444 (its end record at offset 14400); the 100 bytes after it are stray and "
       "the library reads them as sections"},
      {"a cut image", Bytes(whole.begin(), whole.begin() + 9000), ""},
      {"100 zero bytes", Bytes(100, 0), ""},
  };
  for (const auto& c : cases) {
    const CImageInspection report = Inspect(c.image);
    ASSERT_FALSE(report.Accepted()) << c.what;
    EXPECT_EQ(c.why, report.Why()) << c.what;
    const std::string text = report.Text("box.img");
    // The line comes after the library's own words.
    if (*c.why) EXPECT_NE(std::string::npos, text.find("refused   Image file is invalid.\nwhy       " + std::string(c.why)))
        << text;
  }
  EXPECT_EQ("", Inspect(whole).Why());
}

TEST(ImageInspection, LongNamesAreKeptWhole) {
  const std::string name = std::string(300, 'd') + "/" + std::string(200, 'n') + ".img";
  const CImageInspection report = Inspect(ImageBuilder().Anal().End().Get());
  EXPECT_EQ(0u, report.Text(name).find("image     " + name + "\nsize      14444 bytes\n"));
  EXPECT_EQ(name, nlohmann::json::parse(report.Json(name))["image"]);
}
