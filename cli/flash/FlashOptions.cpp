#include "FlashOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

// A whole decimal number, nothing else.
bool ParseNumber(const std::string& text, long& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtol(text.c_str(), nullptr, 10);
  return true;
}

}  // namespace

const char* CFlashOptions::Usage(bool namedPorts) {
  static const char kRest[] =
      "  --baud RATE     9600, 19200, 38400, 57600 or 115200 (default 115200)\n"
      "  --each          after each completed download, wait for the next box\n"
      "  --max-errors N  give a box up after more than N error reports (default: follow its restarts)\n";
  static const std::string numbered = std::string(
      "usage: velflash [--port N] [--baud RATE] [--each] [--max-errors N] IMAGE\n"
      "  --port N        COM port 1-255 (default 1)\n") + kRest;
  static const std::string named = std::string(
      "usage: velflash [--port DEVICE] [--baud RATE] [--each] [--max-errors N] IMAGE\n"
      "  --port DEVICE   serial device, /dev/ttyUSB0 or ttyUSB0 (default /dev/ttyUSB0)\n") + kRest;
  return (namedPorts ? named : numbered).c_str();
}

bool CFlashOptions::Fail(const std::string& text) {
  m_error = text;
  return false;
}

bool CFlashOptions::Parse(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool hasValue = false;
    const std::size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      hasValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= argc) return false;
      value = argv[++i];
      return true;
    };
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      m_help = true;
      return true;
    } else if (arg == "--port") {
      if (namedPorts) {
        if (!takeValue() || value.empty()) return Fail("--port needs a device");
        device = value[0] == '/' ? value : "/dev/" + value;
        continue;
      }
      if (!takeValue()) return Fail("--port needs a number");
      if (!ParseNumber(value, n) || n < 1 || n > 255)
        return Fail("port " + value + " is outside 1-255");
      port = static_cast<unsigned short>(n);
    } else if (arg == "--baud") {
      if (!takeValue()) return Fail("--baud needs a rate");
      if (!ParseNumber(value, n) || (n != 9600 && n != 19200 && n != 38400 && n != 57600 && n != 115200))
        return Fail("rate " + value + " is not one the box knows (9600, 19200, 38400, 57600, 115200)");
      baud = static_cast<unsigned long>(n);
    } else if (arg == "--each") {
      if (hasValue) return Fail("--each takes no value");
      each = true;
    } else if (arg == "--max-errors") {
      if (!takeValue()) return Fail("--max-errors needs a number");
      if (!ParseNumber(value, n)) return Fail("--max-errors " + value + " is not a count");
      maxErrors = static_cast<int>(n);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option " + arg);
    } else if (image.empty()) {
      image = arg;
    } else {
      return Fail("one image at a time (" + image + ", " + arg + ")");
    }
  }
  if (image.empty()) return Fail("no image given");
  std::ifstream file(image, std::ios::binary);
  if (!file) return Fail("image " + image + " cannot be opened");
  return true;
}
