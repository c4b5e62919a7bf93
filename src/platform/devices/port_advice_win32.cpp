#include <windows.h>

#include "platform/devices/port_advice.h"
#include "platform/text/win32_text.h"

namespace platform {

std::string DeviceKindText(const std::string& path, Language language) {
  const bool tr = language == Language::Turkish;
  const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return tr ? "seri cihaz değil" : "not a serial device";
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return tr ? "bir klasör" : "a directory";
  return tr ? "normal bir dosya" : "a regular file";
}

// Windows tells who holds a port only to an administrator's tools.
std::string DeviceHoldersText(const std::string&, Language) {
  return {};
}

// Windows keeps no flag of a program that has ended: its ports are free again at its end.
std::string StaleHoldText(const std::string& path, Language language) {
  return (language == Language::Turkish ? "meşgul: " : "busy: ") + path;
}

std::string PermissionAdvice(Language language) {
  return language == Language::Turkish ? "Erişim için bilgisayarın yöneticisine başvurun."
                                       : "Ask the machine's administrator for access to it.";
}

}  // namespace platform
