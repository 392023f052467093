#include "FlashOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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
      "  --each          after each box, wait for the next one on the same cable\n"
      "  --max-errors N  give a box up after more than N error reports (default: follow its restarts)\n"
      "  --timeout S     give up when no box starts within S seconds of the port opening (default: wait)\n"
      "  --deadline S    give a box up when it has not finished S seconds after it started (default: none)\n"
      "  --log FILE      append one JSON record per box to FILE\n"
      "  --quiet         print only the summary lines and errors\n"
      "  --list-ports    list the serial ports of this machine\n"
      "  --version       print the versions of velflash and of the library\n";
  static const std::string numbered = std::string(
      "usage: velflash [options] IMAGE\n"
      "       velflash --list-ports | --version | --help\n"
      "  --port N        COM port 1-255 (default 1); several ports (--port 1 --port 3, or --port 1,3)\n"
      "                  serve one box each at the same time\n") + kRest;
  static const std::string named = std::string(
      "usage: velflash [options] IMAGE\n"
      "       velflash --list-ports | --version | --help\n"
      "  --port DEVICE   serial device, /dev/ttyUSB0 or ttyUSB0 (default /dev/ttyUSB0); several\n"
      "                  (--port ttyUSB0 --port ttyUSB1, or a list) serve one box each at the same time\n") + kRest;
  return (namedPorts ? named : numbered).c_str();
}

bool CFlashOptions::Fail(const std::string& text) {
  m_error = text;
  return false;
}

bool CFlashOptions::AddPorts(const std::string& list) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = list.find(',', from);
    const std::string given = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    if (namedPorts) {
      if (given.empty()) return Fail("--port needs a device");
      const std::string named = given[0] == '/' ? given : "/dev/" + given;
      for (const std::string& d : devices)
        if (d == named) return Fail("port " + named + " is given twice");
      devices.push_back(named);
      if (comma == std::string::npos) return true;
      from = comma + 1;
      continue;
    }
    std::string one = given;
    // "COM3" names port 3, as --list-ports shows it.
    if (one.size() > 3 && (one[0] == 'C' || one[0] == 'c') && (one[1] == 'O' || one[1] == 'o') &&
        (one[2] == 'M' || one[2] == 'm'))
      one = one.substr(3);
    long n = 0;
    if (!ParseNumber(one, n) || n < 1 || n > 255) return Fail("port " + given + " is outside 1-255");
    for (unsigned short p : ports)
      if (p == n) return Fail("port " + std::to_string(n) + " is given twice");
    ports.push_back(static_cast<unsigned short>(n));
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
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
    auto flag = [&](bool& member) -> bool {
      if (hasValue) return Fail(arg + " takes no value");
      member = true;
      return true;
    };
    auto seconds = [&](int& member) -> bool {
      long n = 0;
      if (!takeValue()) return Fail(arg + " needs a number of seconds");
      if (!ParseNumber(value, n) || n < 1 || n > kMaxSeconds)
        return Fail(arg + " " + value + " is not a number of seconds from 1 to " + std::to_string(kMaxSeconds));
      member = static_cast<int>(n);
      return true;
    };
    long n = 0;
    if (arg == "--help" || arg == "-h") {
      mode = kHelp;
      return true;
    } else if (arg == "--version") {
      mode = kVersion;
      return true;
    } else if (arg == "--list-ports") {
      mode = kListPorts;
      return true;
    } else if (arg == "--port") {
      if (!takeValue()) return Fail(namedPorts ? "--port needs a device" : "--port needs a number");
      if (!AddPorts(value)) return false;
    } else if (arg == "--baud") {
      if (!takeValue()) return Fail("--baud needs a rate");
      if (!ParseNumber(value, n) || (n != 9600 && n != 19200 && n != 38400 && n != 57600 && n != 115200))
        return Fail("rate " + value + " is not one the box knows (9600, 19200, 38400, 57600, 115200)");
      baud = static_cast<unsigned long>(n);
    } else if (arg == "--each") {
      if (!flag(each)) return false;
    } else if (arg == "--quiet") {
      if (!flag(quiet)) return false;
    } else if (arg == "--child") {
      if (!flag(child)) return false;
    } else if (arg == "--max-errors") {
      if (!takeValue()) return Fail("--max-errors needs a number");
      if (!ParseNumber(value, n)) return Fail("--max-errors " + value + " is not a count");
      maxErrors = static_cast<int>(n);
    } else if (arg == "--timeout") {
      if (!seconds(timeout)) return false;
    } else if (arg == "--deadline") {
      if (!seconds(deadline)) return false;
    } else if (arg == "--log") {
      if (!takeValue() || value.empty()) return Fail("--log needs a file");
      log = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option " + arg);
    } else if (image.empty()) {
      image = arg;
    } else {
      return Fail("one image at a time (" + image + ", " + arg + ")");
    }
  }
  if (ports.empty()) ports.push_back(port);
  if (devices.empty()) devices.push_back(device);
  port = ports[0];
  device = devices[0];
  if (child && PortCount() > 1) return Fail("--child serves one port");
  if (image.empty()) return Fail("no image given");
  std::error_code error;
  if (std::filesystem::is_directory(image, error)) return Fail("image " + image + " is a folder, not a file");
  std::ifstream file(image, std::ios::binary);
  if (!file) return Fail("image " + image + " cannot be opened");
  return true;
}

std::string CFlashOptions::PortArgument(std::size_t index) const {
  if (namedPorts) return index < devices.size() ? devices[index] : device;
  return std::to_string(index < ports.size() ? ports[index] : port);
}

std::string CFlashOptions::PortLabel(std::size_t index) const {
  return namedPorts ? PortArgument(index) : "COM" + PortArgument(index);
}

std::vector<std::string> CFlashOptions::ChildArguments(std::size_t index) const {
  const std::string portArg = PortArgument(index);
  std::vector<std::string> args = {"--child", "--port", portArg, "--baud", std::to_string(baud)};
  if (each) args.push_back("--each");
  if (quiet) args.push_back("--quiet");
  if (maxErrors != kNoErrorLimit) args.insert(args.end(), {"--max-errors", std::to_string(maxErrors)});
  if (timeout) args.insert(args.end(), {"--timeout", std::to_string(timeout)});
  if (deadline) args.insert(args.end(), {"--deadline", std::to_string(deadline)});
  // The image is named as given: the children start in the same folder.
  args.push_back(image);
  return args;
}
