#pragma once
// ComUtils: turns a mode string ("com1:9600,n,8,1") into an open, configured serial port.

#include <string>
#include <string_view>

#include "platform/serial_device.h"

// Fields read from the fixed positions of a mode string, after the whole string was accepted.
struct ModeFields {
  uint32_t BaudRate = 0;
  uint8_t ByteSize = 0;
  bool ParityNone = false;  // "n" at P+1
  bool ParityEven = false;  // "e" at P+1
  bool TwoStopBits = false;  // "2" at P+5
};

// The platform's mode-string check: "com", the port digits, ":", then
// baud[,parity[,data[,stop[,flow]]]]; at most 255 characters.
bool ModeStringAccepted(std::string_view mode);
// The device name: the first five characters, such as "com1:".
std::string ModeDeviceName(std::string_view mode);
// Reads the fixed positions; throws platform::ConvertError for a bad baud rate or data bits.
ModeFields ReadModeFields(std::string_view mode);
// Lays the fields over the port's current state: baud rate, data bits, parity for "n" or
// "e" (any other letter keeps the port's), stop bits.
void LayModeFields(const ModeFields& fields, platform::CommState& state);

// Opens and configures the port; the invalid handle for a refused string, a missing device
// or a device held by anyone. Throws platform::ConvertError (device closed first) when the
// baud rate or data bits do not convert.
platform::PortHandle OpenComPort(std::string_view mode, bool Binary);
void PurgePort(platform::PortHandle handle);
