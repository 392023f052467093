// The POSIX download engine (the library's processor over a tty, its reader thread and the
// client's message loop) against stbsim on a pty pair: the lines a client receives, the line's
// exclusivity and lock files, a far end that vanishes, the terminal settings put back.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>

#include "ImageBuilder.h"
#include "PosixDownloadEngine.h"
#include "PosixMessageLoop.h"
#include "PtyProcesses.h"
#include "UucpLock.h"

namespace {

using Clock = std::chrono::steady_clock;

// A client as the flasher is one: records what the library says, stops the transfer on completion.
class Client {
 public:
  static constexpr unsigned int kEventMsg = 1025, kInProcessMsg = 1026, kBoxMsg = 0x8001, kTimerMsg = 0x0113;
  static constexpr unsigned int kEndTimer = 99;

  Client(const std::string& device, unsigned long baud, const std::string& lockFolder)
      : engine(loop, kBoxMsg, lockFolder) {
    loop.SetTimerMessage(kTimerMsg);
    loop.SetHandler([this](unsigned int msg, uintptr_t w, intptr_t l) { return Handle(msg, w, l); });
    engine.SetParentInfo(kEventMsg, kInProcessMsg, &cancel);
    engine.SetComportInfo(device, baud);
  }

  // Handles messages until the transfer ends or timeoutMs pass.
  void RunFor(int timeoutMs) {
    loop.SetTimer(kEndTimer, timeoutMs);
    loop.Run();
    loop.KillTimer(kEndTimer);
  }
  void Add(const std::string& line) {
    lines.push_back(line);
    times.push_back(Clock::now());
    if (onLine) onLine(line);
  }
  void End() {
    if (engine.IsConnectedComport()) engine.StopTransfer();
    loop.Quit();
  }
  int Find(const std::string& line) const {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i] == line) return static_cast<int>(i);
    return -1;
  }

  // Declared before the engine, which answers its reader's last messages as it goes.
  std::vector<std::string> lines;  // "N: text", "E: text", "T: total", "I: flag", "B: text [caption]", "C"
  std::vector<Clock::time_point> times;
  int progressEvents = 0;
  std::function<void(const std::string&)> onLine;
  CPosixMessageLoop loop;
  CPosixDownloadEngine engine;
  volatile int cancel = 0;

 private:
  intptr_t Handle(unsigned int msg, uintptr_t w, intptr_t l) {
    const char* text = reinterpret_cast<const char*>(w);
    switch (msg) {
      case kEventMsg:
        if (l == 0) Add(std::string("N: ") + text);
        if (l == 1) Add(std::string("E: ") + text);
        if (l == 3) ++progressEvents;
        if (l == 4) Add(std::string("T: ") + text);
        if (l == 5) {
          Add("C");
          End();
        }
        if (l == 0 && std::string(text) == "COM port monitoring stopped") loop.Quit();
        break;
      case kInProcessMsg: Add("I: " + std::to_string(w)); break;
      case kBoxMsg: {
        const auto* box = reinterpret_cast<const SShownBox*>(w);
        Add(std::string("B: ") + box->text + (box->caption ? std::string(" [") + box->caption + "]" : ""));
        break;
      }
      case kTimerMsg:
        if (w == kEndTimer) End();
        break;
    }
    return 0;
  }
};

class PosixEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch.Path().empty());
    pair = std::make_unique<PtyPair>(scratch.Path());
    ASSERT_TRUE(pair->Ready()) << "socat made no pty pair";
    image = ImageBuilder().Anal(7).End().Get();
    imagePath = scratch.Write("box.img", image);
    lockFolder = scratch.Path();
  }
  void StartBox(std::vector<std::string> args) {
    std::vector<std::string> argv = {STBSIM, "--tty", pair->Box(), "--report", scratch.Path() + "/report.txt",
                                     "--image", imagePath, "--timeout", "60"};
    argv.insert(argv.end(), args.begin(), args.end());
    ASSERT_TRUE(box.Start(argv));
  }
  std::string Report() const { return scratch.Read("report.txt"); }

  ScratchFolder scratch;
  std::unique_ptr<PtyPair> pair;
  Bytes image;
  std::string imagePath, lockFolder;
  ChildProcess box;
};

std::vector<std::string> Describe(const Client& c) { return c.lines; }

}  // namespace

TEST_F(PosixEngine, CleanDownloadBringsTheLibrarysLinesInItsOrder) {
  // The terminal settings the line finds: put back when it closes.
  struct termios before;
  {
    const int fd = open(pair->Pc().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    tcgetattr(fd, &before);
    before.c_lflag |= ICANON | ECHO;
    cfsetspeed(&before, B38400);
    tcsetattr(fd, TCSANOW, &before);
    tcgetattr(fd, &before);
    close(fd);
  }
  const std::string pc = pair->Pc();
  Client client(pc, 115200, lockFolder);
  ASSERT_EQ(1, client.engine.ReadyToTransfer(imagePath.c_str()));
  EXPECT_EQ(1, client.engine.IsConnectedComport());
  StartBox({"--pace"});
  client.RunFor(30000);
  EXPECT_EQ(0, box.Wait(10000)) << Report();
  EXPECT_NE(std::string::npos, Report().find("image matches the file (14444 bytes)")) << Report();

  const std::vector<std::string> expected = {
      "N: Initialize COM Port [" + pc + ", 9600]",
      "N: COM Port Monitoring Started",
      "N: Ready (box.img)",
      "I: 0",
      "T: 14444l",
      "N: Uninitialize COM Port",
      "N: Initialize COM Port [" + pc + ", 115200]",
      "N: Received READY from STB",
      "N: Send READY_ACK to STB",
      "I: 1",
      "N: Received FUNC from STB",
      "N: Send FUNC_DATA_ANAL to STB",
      "N: Received FUNC_PROGRAM from STB",
      "N: Received HEADER_REP from STB",
      "N: Send DataHeader",
      "N: Start Downloading...",
      "N: Received HEADER_REP from STB",
      "N: Send DataHeader",
      "N: Download Completed!",
      "I: 0",
      "N: Uninitialize COM Port",
      "B: Download Completed! [OK]",
      "N: Initialize COM Port [" + pc + ", 9600]",
      "C",
      "N: Uninitialize COM Port",
      "N: COM port monitoring stopped",
  };
  EXPECT_EQ(expected, Describe(client));
  // A progress event after every handled byte but the last HEADER_REP: SYNC, READY, FUNC, the
  // echo, the first HEADER_REP and 14 two-byte block requests.
  EXPECT_EQ(5 + 14 * 2, client.progressEvents);

  struct termios after;
  const int fd = open(pc.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  tcgetattr(fd, &after);
  close(fd);
  EXPECT_EQ(before.c_iflag, after.c_iflag);
  EXPECT_EQ(before.c_oflag, after.c_oflag);
  EXPECT_EQ(before.c_cflag, after.c_cflag);
  EXPECT_EQ(before.c_lflag, after.c_lflag);
  EXPECT_EQ(cfgetospeed(&before), cfgetospeed(&after));
  // The lock is held for the engine's life.
  EXPECT_EQ(0, access(CUucpLock::LockPathFor(lockFolder, pc).c_str(), F_OK));
}

TEST_F(PosixEngine, FarEndVanishingIsReportedWithinASecondAndTheLineCloses) {
  const std::string pc = pair->Pc();
  Clock::time_point vanished;
  Client client(pc, 115200, lockFolder);
  client.onLine = [&](const std::string& line) {
    if (line == "N: Start Downloading...") {
      pair->Vanish();
      vanished = Clock::now();
    }
  };
  client.engine.ReadyToTransfer(imagePath.c_str());
  StartBox({"--pace"});
  client.RunFor(30000);
  // The processor goes idle last, after the monitor has stopped.
  client.loop.WaitFor([&] { return !client.lines.empty() && client.lines.back() == "I: 0"; }, 5000);
  const int lost = client.Find("E: Lost " + pc + " (error 5): check the cable or the USB-serial adapter.");
  ASSERT_GE(lost, 0) << ::testing::PrintToString(client.lines);
  EXPECT_LT(client.times[lost] - vanished, std::chrono::seconds(1));
  const std::vector<std::string> after(client.lines.begin() + lost + 1, client.lines.end());
  EXPECT_EQ((std::vector<std::string>{"N: Uninitialize COM Port", "N: COM port monitoring stopped", "I: 0"}), after);
  EXPECT_EQ(0, client.engine.IsConnectedComport());
}

TEST_F(PosixEngine, PortInUseIsRefusedWithWhoHoldsIt) {
  const std::string pc = pair->Pc();
  const std::string lockPath = CUucpLock::LockPathFor(lockFolder, pc);
  ChildProcess holder;
  ASSERT_TRUE(holder.Start({"sleep", "30"}));
  ChildProcess ended;
  ASSERT_TRUE(ended.Start({"true"}));
  const pid_t dead = ended.Pid();
  ended.Wait(5000);
  const struct {
    const char* what;
    pid_t lockOwner;       // 0: no lock file
    bool openElsewhere;    // another line of this process has the device open
    const char* advice;    // empty: the line opens
  } cases[] = {
      {"a live process holds the lock file", holder.Pid(), false, "is in use by process %d (sleep)"},
      {"the device is open and locked elsewhere", 0, true, "is in use by another program"},
      {"a lock left by an ended process", dead, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(lockPath.c_str());
    if (c.lockOwner) {
      char text[16];
      std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(c.lockOwner));
      std::ofstream(lockPath) << text;
    }
    std::unique_ptr<CPosixMessageLoop> otherLoop;
    std::unique_ptr<CPosixPortMonitor> other;
    if (c.openElsewhere) {
      ScratchFolder otherLocks;
      otherLoop = std::make_unique<CPosixMessageLoop>();
      other = std::make_unique<CPosixPortMonitor>(*otherLoop, otherLocks.Path());
      other->SetDevice(pc);
      ASSERT_TRUE(other->Initialize(0, 9600));
    }
    Client client(pc, 115200, lockFolder);
    client.engine.ReadyToTransfer(imagePath.c_str());
    if (*c.advice) {
      char advice[256];
      std::snprintf(advice, sizeof advice, c.advice, static_cast<int>(c.lockOwner));
      EXPECT_EQ("B: Failed to open com port : " + pc + ", Error No. - 16l", client.lines.at(0));
      EXPECT_EQ("E: " + pc + " " + advice + ": end it or pick another port", client.lines.at(1));
      EXPECT_EQ(0, client.engine.IsConnectedComport());
    } else {
      EXPECT_EQ("N: Initialize COM Port [" + pc + ", 9600]", client.lines.at(0));
      EXPECT_EQ(1, client.engine.IsConnectedComport());
      std::ifstream lock(lockPath);
      int owner = 0;
      lock >> owner;
      EXPECT_EQ(getpid(), owner);
    }
    client.End();
  }
}

TEST_F(PosixEngine, WrittenBytesReachTheFarEndWhateverComesAfterThem) {
  // Bytes written just before a purge, a close or a reopen still arrive, as they do from the
  // library's synchronous writes (the completion purges 1 ms after the end header). A pty takes
  // a write into a buffer that the kernel hands to the far end a moment later: a flush of the
  // output in that moment loses the bytes, so each case is tried many times.
  const struct {
    const char* what;
    std::function<void(CPosixSerialLine&)> after;
  } cases[] = {
      {"a purge", [](CPosixSerialLine& line) { line.PurgePort(); }},
      {"a close and a reopen",
       [](CPosixSerialLine& line) {
         line.Uninitialize();
         line.Initialize(0, 115200);
       }},
  };
  const int box = open(pair->Box().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(box, 0);
  struct termios raw;
  tcgetattr(box, &raw);
  cfmakeraw(&raw);
  tcsetattr(box, TCSANOW, &raw);
  unsigned char frame[64];
  for (int i = 0; i < 64; ++i) frame[i] = static_cast<unsigned char>(0x40 + i);
  constexpr int kTries = 200;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CPosixSerialLine line(lockFolder);
    line.SetDevice(pair->Pc());
    ASSERT_TRUE(line.Initialize(0, 9600));
    std::size_t got = 0;
    for (int t = 0; t < kTries; ++t) {
      for (int i = 0; i < 64; i += 8) ASSERT_TRUE(line.WriteData(frame + i, 8));
      c.after(line);
      unsigned char buffer[4096];
      for (ssize_t n; (n = read(box, buffer, sizeof buffer)) > 0;) got += static_cast<std::size_t>(n);
    }
    const auto end = Clock::now() + std::chrono::seconds(3);
    while (got < 64u * kTries && Clock::now() < end) {
      unsigned char buffer[4096];
      const ssize_t n = read(box, buffer, sizeof buffer);
      if (n > 0)
        got += static_cast<std::size_t>(n);
      else
        usleep(5000);
    }
    EXPECT_EQ(64u * kTries, got);
  }
  close(box);
}
