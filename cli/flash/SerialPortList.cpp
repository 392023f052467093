#include "SerialPortList.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>

namespace {

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return std::string();
  std::string result = real;
  std::free(real);
  return result;
}

std::vector<std::string> List(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (const dirent* e = readdir(dir))
      if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(dir);
  }
  return names;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

std::string Base(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ttyUSB10 after ttyUSB9: names compared with their trailing numbers as numbers.
bool NaturalLess(const std::string& a, const std::string& b) {
  const std::size_t da = a.find_last_not_of("0123456789") + 1, db = b.find_last_not_of("0123456789") + 1;
  const std::string pa = a.substr(0, da), pb = b.substr(0, db);
  if (pa != pb) return pa < pb;
  const long na = da < a.size() ? std::strtol(a.c_str() + da, nullptr, 10) : -1;
  const long nb = db < b.size() ? std::strtol(b.c_str() + db, nullptr, 10) : -1;
  return na < nb;
}

const char* UartName(int type) {
  switch (type) {
    case 1: return "8250";
    case 2: return "16450";
    case 3: return "16550";
    case 4: return "16550A";
    case 6: return "16650";
    case 7: return "16650V2";
    case 8: return "16750";
    case 9: return "16850";
    case 10: return "16C950";
    default: return nullptr;
  }
}

// The USB device above a tty's device folder: the first folder upwards with an idVendor file.
std::string UsbDescription(const std::string& deviceFolder) {
  std::string folder = deviceFolder;
  for (int up = 0; up < 6 && folder.size() > 1; ++up) {
    if (Exists(folder + "/idVendor")) {
      std::string text = ReadLine(folder + "/manufacturer");
      const std::string product = ReadLine(folder + "/product");
      if (!product.empty()) text += (text.empty() ? "" : " ") + product;
      if (text.empty()) text = "USB serial adapter";
      text += " (" + ReadLine(folder + "/idVendor") + ":" + ReadLine(folder + "/idProduct");
      const std::string serial = ReadLine(folder + "/serial");
      if (!serial.empty()) text += ", serial " + serial;
      return text + ")";
    }
    folder = folder.substr(0, folder.rfind('/'));
  }
  return std::string();
}

}  // namespace

std::vector<CSerialPortList::Port> CSerialPortList::Find(const std::string& sysRoot, const std::string& devRoot) {
  // by-id names by the device they lead to.
  std::map<std::string, std::vector<std::string>> byId;
  const std::string idFolder = devRoot + "/serial/by-id";
  for (const std::string& name : List(idFolder)) {
    const std::string target = RealPath(idFolder + "/" + name);
    if (!target.empty()) byId[Base(target)].push_back(idFolder + "/" + name);
  }

  std::vector<Port> ports;
  const std::string ttyClass = sysRoot + "/class/tty";
  for (const std::string& name : List(ttyClass)) {
    const std::string entry = ttyClass + "/" + name;
    const std::string deviceFolder = RealPath(entry + "/device");
    if (deviceFolder.empty() || !Exists(devRoot + "/" + name)) continue;  // no hardware, or no node
    Port port;
    port.device = devRoot + "/" + name;
    const std::string type = ReadLine(entry + "/type");
    if (!type.empty()) {
      // A UART the kernel probed: type 0 means that none answered at its address.
      const int t = std::atoi(type.c_str());
      if (t == 0) continue;
      const char* uart = UartName(t);
      port.description = std::string(uart ? uart : "serial") + " UART";
      const std::string address = ReadLine(entry + "/port");
      if (!address.empty() && address != "0x0") port.description += " at " + address;
    } else {
      port.description = UsbDescription(deviceFolder);
      if (port.description.empty()) {
        const std::string driver = Base(RealPath(deviceFolder + "/driver"));
        port.description = driver.empty() ? "serial device" : "serial device (driver " + driver + ")";
      }
    }
    auto ids = byId.find(name);
    if (ids != byId.end()) {
      port.byId = ids->second;
      std::sort(port.byId.begin(), port.byId.end());
    }
    ports.push_back(port);
  }
  std::sort(ports.begin(), ports.end(), [](const Port& a, const Port& b) { return NaturalLess(a.device, b.device); });
  return ports;
}

std::string CSerialPortList::Format(const Port& port) {
  std::string line = port.device + "  " + port.description;
  for (const std::string& id : port.byId) line += "  " + id;
  return line;
}
