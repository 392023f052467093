// --list-ports on Linux: the serial devices of a sysfs and /dev tree laid out as the kernel and
// udev lay them out, with what the system knows of each.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "PtyProcesses.h"
#include "SerialPortList.h"

namespace {

class Tree {
 public:
  explicit Tree(const std::string& root) : m_root(root) {}
  void File(const std::string& path, const std::string& text = "") {
    MakeFolders(path);
    std::ofstream(m_root + "/" + path) << text << "\n";
  }
  void Link(const std::string& path, const std::string& target) {
    MakeFolders(path);
    ASSERT_EQ(0, symlink(target.c_str(), (m_root + "/" + path).c_str())) << path;
  }
  void Folder(const std::string& path) { MakeFolders(path + "/x"); }

 private:
  void MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
      mkdir((m_root + "/" + path.substr(0, at)).c_str(), 0755);
  }
  std::string m_root;
};

}  // namespace

TEST(SerialPortList, ListsDevicesWithHardwareAndTheirUsbNames) {
  ScratchFolder scratch;
  Tree t(scratch.Path());
  const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
  // A UART that answered its probe, one that did not, a virtual console without a device.
  t.Folder("sys/devices/pnp0/00:04");
  t.Link("sys/class/tty/ttyS0/device", "../../../devices/pnp0/00:04");
  t.File("sys/class/tty/ttyS0/type", "4");
  t.File("sys/class/tty/ttyS0/port", "0x3F8");
  t.Link("sys/class/tty/ttyS1/device", "../../../devices/pnp0/00:04");
  t.File("sys/class/tty/ttyS1/type", "0");
  t.Folder("sys/class/tty/tty0");
  // An FTDI adapter with a serial number and its by-id link, an Arduino's ACM port without one.
  t.File(usb + "/idVendor", "0403");
  t.File(usb + "/idProduct", "6001");
  t.File(usb + "/manufacturer", "FTDI");
  t.File(usb + "/product", "FT232R USB UART");
  t.File(usb + "/serial", "A50285BI");
  t.Folder(usb + "/1-2:1.0/ttyUSB0");
  t.Link("sys/class/tty/ttyUSB0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0");
  const std::string acm = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-3";
  t.File(acm + "/idVendor", "2341");
  t.File(acm + "/idProduct", "0043");
  t.File(acm + "/product", "Arduino Uno");
  t.Folder(acm + "/1-3:1.0");
  t.Link("sys/class/tty/ttyACM0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0");
  // A device the kernel knows whose node udev has not made (yet).
  t.Link("sys/class/tty/ttyUSB1/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/ttyUSB0");
  for (const char* node : {"dev/ttyS0", "dev/ttyS1", "dev/tty0", "dev/ttyUSB0", "dev/ttyACM0"}) t.File(node);
  t.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");

  std::vector<std::string> lines;
  for (const auto& port : CSerialPortList::Find(scratch.Path() + "/sys", scratch.Path() + "/dev"))
    lines.push_back(CSerialPortList::Format(port));
  const std::string dev = scratch.Path() + "/dev";
  const std::vector<std::string> expected = {
      dev + "/ttyACM0  Arduino Uno (2341:0043)",
      dev + "/ttyS0  16550A UART at 0x3F8",
      dev + "/ttyUSB0  FTDI FT232R USB UART (0403:6001, serial A50285BI)  " + dev +
          "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
  };
  EXPECT_EQ(expected, lines);
}

TEST(SerialPortList, FindsNothingWhereThereIsNothing) {
  ScratchFolder scratch;
  EXPECT_TRUE(CSerialPortList::Find(scratch.Path() + "/sys", scratch.Path() + "/dev").empty());
}
