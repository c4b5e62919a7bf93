#pragma once
// The serial devices present on this machine, with what a person recognises them by.

#include <string>
#include <utility>
#include <vector>

namespace platform {

struct SerialPortInfo {
  std::string devicePath;  // /dev/ttyUSB0
  std::string kernelName;  // ttyUSB0
  std::string byIdPath;    // /dev/serial/by-id/usb-FTDI_..., empty where there is none
  std::string driver;      // ftdi_sio, cdc_acm, serial8250...
  // USB devices only: the hexadecimal ids and the device's own strings.
  std::string vendorId, productId, manufacturer, product, serialNumber;

  // The path to use for the device: its by-id link where it has one, it stays the same
  // whichever ttyUSB number the device gets.
  const std::string& PreferredPath() const { return byIdPath.empty() ? devicePath : byIdPath; }
  // For the window's device menu: "FTDI FT232R USB UART (ttyUSB0)", "USB 2341:0043 (ttyACM0)",
  // "Seri port (ttyS4)".
  std::string Description() const;
};

// The serial devices present, by kernel name; legacy ttyS nodes with no UART behind them
// are left out.
std::vector<SerialPortInfo> ListSerialPorts();

// The list as a table with a heading line, for a terminal; the ports on other machines that
// WireLab.ini maps (by port number) follow as rows of their own.
std::string FormatPortTable(const std::vector<SerialPortInfo>& ports,
                            const std::vector<std::pair<int, std::string>>& network = {});

// --list-ports in both programs: the devices present and the ports on other machines as that
// table on stdout.
void PrintPortTable(const std::vector<std::pair<int, std::string>>& network = {});

// The /dev/serial/by-id link of the device that path names, or path itself when the device
// has none (or path already is such a link).
std::string StableDevicePath(const std::string& path);

// True when both paths name the same device (following links).
bool SameDevicePath(const std::string& a, const std::string& b);

}  // namespace platform
