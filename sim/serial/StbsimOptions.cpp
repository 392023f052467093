#include "StbsimOptions.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool Number(const std::string& text, unsigned long max, unsigned long& out, int base = 10) {
  if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, base);
  if (errno || *end != '\0' || value > max) return false;
  out = value;
  return true;
}

bool HexByte(std::string text, uint8_t& out) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text = text.substr(2);
  unsigned long value;
  if (text.empty() || text.size() > 2 || !Number(text, 0xFF, value, 16)) return false;
  out = static_cast<uint8_t>(value);
  return true;
}

bool HexBytes(const std::string& text, std::vector<uint8_t>& out) {
  if (text.empty() || text.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < text.size(); i += 2) {
    uint8_t byte;
    if (!HexByte(text.substr(i, 2), byte)) return false;
    out.push_back(byte);
  }
  return true;
}

// "WHAT@POINT"
bool AtPoint(const std::string& text, std::string& what, SBoxPoint& point) {
  size_t at = text.rfind('@');
  if (at == std::string::npos) return false;
  what = text.substr(0, at);
  return SBoxPoint::Parse(text.substr(at + 1), point);
}

}  // namespace

const char* CStbsimOptions::Usage() {
  return "Usage: stbsim --tty PATH [options]\n"
         "Puts a simulated set-top box on a serial line. The box leads the download (SYNC, baud code, READY,\n"
         "FUNC, data headers and blocks), checks every frame, answers bad ones with the box's error report and\n"
         "rebuilds the image it receives.\n"
         "\n"
         "Line:\n"
         "  --tty PATH             tty or pty to serve, opened raw (no echo, O_NOCTTY)\n"
         "  --pace, --no-pace      each byte takes 10 bit times at the line rate, both ways (default: --pace)\n"
         "Images and report:\n"
         "  --image FILE           compare each received image with FILE\n"
         "  --received FILE        write each completed download's image to FILE (the last one stays)\n"
         "  --report FILE          one line per frame or event, then a verdict line (\"-\": standard output)\n"
         "Run:\n"
         "  --downloads N          end once N downloads have ended (default 1)\n"
         "  --timeout SEC          give up after SEC seconds (default 300; 0: never)\n"
         "  --reply-timeout MS     time the PC has for a function code, data header or block (default 3000)\n"
         "  --sync-interval MS     SYNC repeat period and pause before a new download (default 1000)\n"
         "  --reopen-delay MS      from the baud code to READY, while the PC reopens its port (default 600)\n"
         "  --max-payload BYTES    largest section payload taken (default 67108864)\n"
         "  --seed N               seed of the random garbage and babble bytes (default 1)\n"
         "Misbehaviour, in download 1 unless --fault-download says otherwise. POINT is one of sync, ready, func,\n"
         "echo, header:K, after-header:K, block:K, after-block:K (headers and blocks counted from 1 across the\n"
         "download; the end header's request is header:S+1 for S sections). CODE is hex.\n"
         "  --silent               send nothing at all (--silent-at sync)\n"
         "  --silent-at POINT      send nothing from POINT on\n"
         "  --stop-after K         go silent after block K (--silent-at after-block:K)\n"
         "  --babble POINT         send a stream of random bytes at the line rate from POINT on\n"
         "  --fault-time MS        end a silence or babble after MS ms and start over (default 0: never)\n"
         "  --pause MS@POINT       wait MS ms before what POINT sends, then go on (a slow box)\n"
         "  --restart POINT        restart at POINT as a box that loses power: nothing more of this download,\n"
         "                         the line back at 9600 baud, a new download with SYNC after the boot time\n"
         "  --boot-time MS         from a restart to the new SYNC (default 1000)\n"
         "  --error CODE@POINT     send the error report 0x50 CODE instead of what POINT sends, then start over\n"
         "  --garbage WHAT@POINT   send garbage just before POINT: WHAT is a count of random bytes, or hex bytes\n"
         "                         after an x (x0a1b2c)\n"
         "  --swap K               send the request for block K as n, 0x69\n"
         "  --wrong-echo CODE      echo CODE instead of the function code (flip: the code with bit 7 flipped)\n"
         "  --fault-download N     the download the misbehaviours apply to (default 1; 0: every download)\n"
         "  --help                 this text\n"
         "\n"
         "Exit status: 0 every download ended as asked (completed with a matching image, or ended by the\n"
         "misbehaviour asked for; silence or babble for good lasts until the timeout or a signal); 1 a download\n"
         "failed or an image differed from the file; 2 bad usage or setup; 3 timeout; 4 stopped by SIGINT or\n"
         "SIGTERM. Any status but 0 comes with a one-line reason on standard error.\n";
}

bool CStbsimOptions::Parse(const std::vector<std::string>& args, std::string& error) {
  unsigned long faultDownload = 1, faultTime = 0, bootTime = 1000;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i], value;
    bool inlineValue = false;
    size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      inlineValue = true;
    }
    auto take = [&]() {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
      return true;
    };
    auto bad = [&](const char* what) {
      error = "bad value for " + name + ": \"" + value + "\" (" + what + ")";
      return false;
    };
    auto flag = [&]() {
      if (!inlineValue) return true;
      error = name + " takes no value";
      return false;
    };
    unsigned long number;
    SBoxFault fault;

    if (name == "--help" || name == "-h") {
      help = true;
      return true;
    } else if (name == "--pace" || name == "--no-pace") {
      if (!flag()) return false;
      box.pace = name == "--pace";
    } else if (name == "--tty" || name == "--image" || name == "--received" || name == "--report") {
      if (!take()) return false;
      if (value.empty()) return bad("a path");
      (name == "--tty" ? tty : name == "--image" ? image : name == "--received" ? received : report) = value;
    } else if (name == "--downloads") {
      if (!take()) return false;
      if (!Number(value, 1000000, number) || number == 0) return bad("a count from 1");
      downloads = unsigned(number);
    } else if (name == "--timeout") {
      if (!take()) return false;
      if (!Number(value, 86400 * 365, number)) return bad("seconds");
      timeoutSec = unsigned(number);
    } else if (name == "--reply-timeout" || name == "--sync-interval" || name == "--reopen-delay" ||
               name == "--fault-time" || name == "--boot-time") {
      if (!take()) return false;
      if (!Number(value, 3600 * 1000, number)) return bad("milliseconds, at most an hour");
      if (name == "--sync-interval" && number == 0) return bad("at least 1 ms");
      uint32_t ms = uint32_t(number);
      if (name == "--reply-timeout") box.replyTimeoutMs = ms;
      else if (name == "--sync-interval") box.syncIntervalMs = ms;
      else if (name == "--reopen-delay") box.reopenDelayMs = ms;
      else if (name == "--boot-time") bootTime = ms;
      else faultTime = ms;
    } else if (name == "--max-payload") {
      if (!take()) return false;
      if (!Number(value, 0x7FFFFFFF, number)) return bad("bytes");
      box.maxPayload = uint32_t(number);
    } else if (name == "--seed") {
      if (!take()) return false;
      if (!Number(value, 0xFFFFFFFFul, number)) return bad("a 32-bit number");
      box.seed = uint32_t(number);
    } else if (name == "--fault-download") {
      if (!take()) return false;
      if (!Number(value, 1000000, number)) return bad("a download number, 0 for every one");
      faultDownload = number;
    } else if (name == "--silent") {
      if (!flag()) return false;
      fault.kind = SBoxFault::kSilent;
      box.faults.push_back(fault);
    } else if (name == "--silent-at" || name == "--babble" || name == "--restart") {
      if (!take()) return false;
      fault.kind = name == "--babble" ? SBoxFault::kBabble : name == "--restart" ? SBoxFault::kRestart : SBoxFault::kSilent;
      if (!SBoxPoint::Parse(value, fault.point)) return bad("a point");
      box.faults.push_back(fault);
    } else if (name == "--stop-after" || name == "--swap") {
      if (!take()) return false;
      if (!Number(value, 1000000000, number) || number == 0) return bad("a block number from 1");
      fault.kind = name == "--swap" ? SBoxFault::kSwapRequest : SBoxFault::kSilent;
      fault.point = {name == "--swap" ? SBoxPoint::kBlock : SBoxPoint::kAfterBlock, int(number)};
      box.faults.push_back(fault);
    } else if (name == "--error") {
      if (!take()) return false;
      std::string code;
      fault.kind = SBoxFault::kErrorReport;
      if (!AtPoint(value, code, fault.point) || !HexByte(code, fault.code)) return bad("CODE@POINT, CODE in hex");
      box.faults.push_back(fault);
    } else if (name == "--pause") {
      if (!take()) return false;
      std::string ms;
      fault.kind = SBoxFault::kPause;
      if (!AtPoint(value, ms, fault.point) || !Number(ms, 3600 * 1000, number) || number == 0)
        return bad("MS@POINT, MS from 1 to an hour");
      fault.durationMs = uint32_t(number);
      box.faults.push_back(fault);
    } else if (name == "--garbage") {
      if (!take()) return false;
      std::string what;
      fault.kind = SBoxFault::kGarbage;
      if (!AtPoint(value, what, fault.point)) return bad("WHAT@POINT");
      if (!what.empty() && what[0] == 'x') {
        if (!HexBytes(what.substr(1), fault.bytes) || fault.bytes.size() > 65536) return bad("hex bytes after x");
      } else if (!Number(what, 65536, number) || number == 0) {
        return bad("a count from 1 to 65536, or x and hex bytes");
      } else {
        fault.randomCount = uint32_t(number);
      }
      box.faults.push_back(fault);
    } else if (name == "--wrong-echo") {
      if (!take()) return false;
      fault.kind = SBoxFault::kWrongEcho;
      fault.point = {SBoxPoint::kEcho, 0};
      if (value != "flip") {
        if (!HexByte(value, fault.code)) return bad("a hex byte or flip");
        fault.codeGiven = true;
      }
      box.faults.push_back(fault);
    } else {
      error = "unknown option \"" + args[i] + "\"";
      return false;
    }
  }
  if (tty.empty()) {
    error = "--tty PATH is required";
    return false;
  }
  for (SBoxFault& fault : box.faults) {
    fault.download = int(faultDownload);
    if (fault.kind == SBoxFault::kSilent || fault.kind == SBoxFault::kBabble) fault.durationMs = uint32_t(faultTime);
    if (fault.kind == SBoxFault::kRestart) fault.durationMs = uint32_t(bootTime);
  }
  return true;
}
