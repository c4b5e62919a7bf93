#pragma once
// ComUtils: turns a mode string ("com1:9600,n,8,1") into an open, configured serial port.

#include <string>
#include <string_view>

#include "platform/devices/com_devices.h"
#include "platform/devices/serial_device.h"

// Fields read from the fixed positions of a mode string, after the whole string was accepted.
struct ModeFields {
  uint32_t BaudRate = 0;
  uint8_t ByteSize = 0;
  bool ParityNone = false;   // "n" at P+1
  bool ParityEven = false;   // "e" at P+1
  bool TwoStopBits = false;  // "2" at P+5
  // The fifth field: "p" hardware (RTS/CTS), "x" XON/XOFF, in either case; without it the
  // port keeps its own.
  platform::FlowControl Flow = platform::FlowControl::Unchanged;
};

// The platform's mode-string check: "com", the port digits, ":", then
// baud[,parity[,data[,stop[,flow]]]]; at most 255 characters.
bool ModeStringAccepted(std::string_view mode);
// What keeps the mode string from being accepted, in a user's words ("baud rate", "parity",
// "data bits", "stop bits", "flow control", "port name", "length"); empty when it is accepted.
std::string ModeStringFault(std::string_view mode);
// The device name: the first five characters, such as "com1:".
std::string ModeDeviceName(std::string_view mode);
// Reads the fixed positions; throws platform::ConvertError for a bad baud rate or data bits.
ModeFields ReadModeFields(std::string_view mode);
// Lays the fields over the port's current state: baud rate, data bits, parity for "n" or
// "e" (any other letter keeps the port's), stop bits, flow control where it is given.
void LayModeFields(const ModeFields& fields, platform::CommState& state);

// Opens and configures the port; the invalid handle, with its reason, for a refused string
// or a device that cannot be had. Throws platform::ConvertError (device closed first) when
// the baud rate or data bits do not convert. The modem lines stay as the port had them. A baud
// rate the device refuses or rounds to another (read back after setting) refuses the port:
// the invalid handle with SettingsRefused.
platform::PortHandle OpenComPort(const platform::ComDevices& devices, std::string_view mode,
                                 bool Binary);
// The same on a given device path instead of the one the mode string's name maps to; watch,
// where set, sees every ioctl of the device's open.
// rateKept, where given, is set to the rate the device kept when it refused the one asked
// for, and to 0 otherwise.
platform::PortHandle OpenComDevice(const std::string& path, std::string_view mode, bool Binary,
                                   const platform::DeviceRequestObserver& watch = {},
                                   uint32_t* rateKept = nullptr);
// The device path that the mode string's name ("comN:") maps to.
std::string ModeDevicePath(const platform::ComDevices& devices, std::string_view mode);
void PurgePort(platform::PortHandle handle);
