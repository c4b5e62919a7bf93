#include <string.h>

#include "platform/devices/com_devices.h"

namespace platform {

std::string DefaultComDevice(int number) {
  return "COM" + std::to_string(number);
}

size_t PortNameLength(const std::string& text) {
  const size_t prefix = text.rfind("\\\\.\\", 0) == 0 ? 4 : 0;
  if (text.size() < prefix + 4 || _strnicmp(text.c_str() + prefix, "COM", 3) != 0) return 0;
  size_t end = prefix + 3;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  return end > prefix + 3 ? end : 0;
}

}  // namespace platform
