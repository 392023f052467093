// SerialPortList.h - the serial devices of a Linux machine and what the system knows of them, for --list-ports.
//
// Read from sysfs (/sys/class/tty: devices with hardware behind them; a UART that the probe found
// absent is left out) and /dev/serial/by-id (the stable names of USB adapters). The roots are
// parameters so that a test can lay out a tree of its own.
#pragma once

#include <string>
#include <vector>

class CSerialPortList {
 public:
  struct Port {
    std::string device;               // /dev/ttyUSB0
    std::string description;          // "FTDI FT232R USB UART (0403:6001, serial A50285BI)", "16550A UART at 0x3F8"
    std::vector<std::string> byId;    // /dev/serial/by-id names that lead to the device
  };

  static std::vector<Port> Find(const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev");
  // "/dev/ttyUSB0  FTDI FT232R USB UART (0403:6001, serial A50285BI)  /dev/serial/by-id/usb-FTDI_..."
  static std::string Format(const Port& port);
};
