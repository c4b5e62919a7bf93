#include "platform/devices/com_devices.h"

namespace platform {

std::string DefaultComDevice(int number) {
  return "COM" + std::to_string(number);
}

}  // namespace platform
