#include <windows.h>

#include "platform/port_advice.h"
#include "platform/win32_text.h"

namespace platform {

std::string DeviceKindText(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "not a serial device";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "a directory";
  return "a regular file";
}

// Windows tells who holds a port only to an administrator's tools.
std::string DeviceHoldersText(const std::string&) {
  return {};
}

std::string PermissionAdvice() {
  return "Ask the machine's administrator for access to it.";
}

}  // namespace platform
