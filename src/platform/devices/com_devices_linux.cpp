#include "platform/devices/com_devices.h"

namespace platform {

std::string DefaultComDevice(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

size_t PortNameLength(const std::string&) {
  return 0;
}

}  // namespace platform
