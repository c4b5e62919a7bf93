#include <windows.h>

#include <cctype>

#include "platform/devices/port_advice.h"
#include "platform/text/win32_text.h"

namespace platform {
namespace {

// Windows' reserved device names, with or without "\\.\", a folder, an extension or a colon:
// what each is, or empty for any other name.
std::string ReservedDeviceKind(const std::string& path, bool tr) {
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  name = name.substr(0, name.find_first_of(".:"));
  for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  if (name == "CON" || name == "CONIN$" || name == "CONOUT$") {
    return tr ? "konsol" : "the console";
  }
  if (name == "NUL") return tr ? "boş cihaz (NUL)" : "the null device";
  if (name == "PRN" || (name.size() == 4 && name.rfind("LPT", 0) == 0 && isdigit(name[3]))) {
    return tr ? "bir yazıcı portu" : "a printer port";
  }
  if (name == "AUX") return tr ? "AUX cihazı" : "the AUX device";
  return {};
}

}  // namespace

std::string DeviceKindText(const std::string& path, Language language) {
  const bool tr = language == Language::Turkish;
  if (const std::string kind = ReservedDeviceKind(path, tr); !kind.empty()) return kind;
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
