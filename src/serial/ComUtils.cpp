#include "serial/ComUtils.h"

#include <algorithm>
#include <iterator>

#include "platform/devices/com_devices.h"
#include "platform/text/int_conv.h"

namespace {

constexpr size_t kMaxModeLength = 255;
constexpr size_t kDeviceNameLength = 5;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsOneOf(std::string_view field, std::string_view letters) {
  return field.size() == 1 && letters.find(field[0]) != std::string_view::npos;
}

// The text at the 1-based positions from..to of the mode string, cut to what exists.
std::string_view Positions(std::string_view mode, long from, long to) {
  const long size = static_cast<long>(mode.size());
  from = std::max(from, 1L);
  to = std::min(to, size);
  if (to < from) return {};
  return mode.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
}

char CharAt(std::string_view mode, long position) {
  const std::string_view at = Positions(mode, position, position);
  return at.empty() ? '\0' : at[0];
}

int DeviceNumber(std::string_view name) {
  int number = 0;
  for (size_t i = 3; i < name.size() && IsDigit(name[i]); ++i)
    number = number * 10 + (name[i] - '0');
  return number;
}

}  // namespace

bool ModeStringAccepted(std::string_view mode) {
  return ModeStringFault(mode).empty();
}

std::string ModeStringFault(std::string_view mode) {
  if (mode.size() > kMaxModeLength) return "length";
  if (mode.substr(0, 3) != "com") return "port name";
  size_t i = 3;
  while (i < mode.size() && IsDigit(mode[i])) ++i;
  if (i == 3 || i >= mode.size() || mode[i] != ':') return "port name";

  // baud[,parity[,data[,stop[,flow]]]]: every field present must be valid, none empty.
  using Rule = bool (*)(std::string_view);
  static constexpr const char* kFields[] = {"baud rate", "parity", "data bits", "stop bits",
                                            "flow control"};
  static constexpr Rule kRules[] = {
      [](std::string_view f) {
        return !f.empty() && f.find_first_not_of("0123456789") == std::string_view::npos &&
               f.find_first_not_of('0') != std::string_view::npos;
      },
      [](std::string_view f) { return IsOneOf(f, "nNeEoOmMsS"); },
      [](std::string_view f) { return IsOneOf(f, "5678"); },
      [](std::string_view f) { return f == "1" || f == "1.5" || f == "2"; },
      [](std::string_view f) { return IsOneOf(f, "xXpP"); },
  };
  std::string_view rest = mode.substr(i + 1);
  for (size_t field = 0; field < std::size(kRules); ++field) {
    const size_t comma = rest.find(',');
    if (!kRules[field](rest.substr(0, comma))) return kFields[field];
    if (comma == std::string_view::npos) return {};
    rest.remove_prefix(comma + 1);
  }
  return "flow control";  // a comma after the last field
}

std::string ModeDeviceName(std::string_view mode) {
  return std::string(mode.substr(0, kDeviceNameLength));
}

ModeFields ReadModeFields(std::string_view mode) {
  // P: the 1-based position of the first comma, 0 when there is none.
  const size_t comma = mode.find(',');
  const long p = comma == std::string_view::npos ? 0 : static_cast<long>(comma) + 1;
  ModeFields fields;
  fields.BaudRate = static_cast<uint32_t>(platform::StrToInt(Positions(mode, 6, p - 1)));
  fields.ByteSize = static_cast<uint8_t>(platform::StrToInt(Positions(mode, p + 3, p + 3)));
  fields.ParityNone = CharAt(mode, p + 1) == 'n';
  fields.ParityEven = CharAt(mode, p + 1) == 'e';
  fields.TwoStopBits = CharAt(mode, p + 5) == '2';
  std::string_view rest = mode;
  for (int field = 0; field < 4 && !rest.empty(); ++field) {
    const size_t at = rest.find(',');
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
  }
  if (rest == "p" || rest == "P") fields.Flow = platform::FlowControl::Hardware;
  if (rest == "x" || rest == "X") fields.Flow = platform::FlowControl::XonXoff;
  return fields;
}

void LayModeFields(const ModeFields& fields, platform::CommState& state) {
  state.BaudRate = fields.BaudRate;
  state.ByteSize = fields.ByteSize;
  if (fields.ParityNone) state.ParityMode = platform::Parity::None;
  if (fields.ParityEven) state.ParityMode = platform::Parity::Even;
  state.Stop = fields.TwoStopBits ? platform::StopBits::Two : platform::StopBits::One;
  state.Flow = fields.Flow;
}

std::string ModeDevicePath(const platform::ComDevices& devices, std::string_view mode) {
  return devices.Path(DeviceNumber(ModeDeviceName(mode)));
}

platform::PortHandle OpenComPort(const platform::ComDevices& devices, std::string_view mode,
                                 bool Binary) {
  return OpenComDevice(ModeDevicePath(devices, mode), mode, Binary);
}

platform::PortHandle OpenComDevice(const std::string& path, std::string_view mode, bool Binary,
                                   const platform::DeviceRequestObserver& watch,
                                   uint32_t* rateKept) {
  if (rateKept != nullptr) *rateKept = 0;
  if (!ModeStringAccepted(mode) || !platform::SystemAcceptsModeString(std::string(mode))) {
    return platform::PortHandle::Invalid(platform::PortError::SettingsRefused);
  }

  // Open and read the current settings; a device that cannot be had gives the invalid
  // handle, on which every later step fails quietly.
  const platform::PortHandle handle = platform::OpenExclusive(path, watch);
  platform::CommState state;
  state.Binary = true;
  platform::GetCommState(handle, state);

  // Lay the fields of the string over them; a field that does not convert gives the device
  // back before the error goes out.
  ModeFields fields;
  try {
    fields = ReadModeFields(mode);
  } catch (...) {
    platform::Close(handle);
    throw;
  }
  LayModeFields(fields, state);
  if (Binary) state.Binary = true;

  // Apply and empty both buffers. The modem lines are left alone: on adapters that use RTS
  // for RS-485 direction or as a reset line, raising it would change the device's state.
  platform::SetCommState(handle, state);
  // A rate the driver refused or rounded reads back as another: the port would run at a
  // speed nobody asked for.
  platform::CommState taken;
  if (platform::GetCommState(handle, taken) && taken.BaudRate != state.BaudRate) {
    if (rateKept != nullptr) *rateKept = taken.BaudRate;
    platform::Close(handle);
    return platform::PortHandle::Invalid(platform::PortError::SettingsRefused);
  }
  PurgePort(handle);
  return handle;
}

void PurgePort(platform::PortHandle handle) {
  platform::Purge(handle);
}
