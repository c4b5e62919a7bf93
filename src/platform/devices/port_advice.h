#pragma once
// What the system can tell a person about a device that is not a working port.

#include <string>

#include "platform/text/language.h"

namespace platform {

// What the path is when it is not a serial port: "a regular file", "a directory"...
std::string DeviceKindText(const std::string& path, Language language);
// Who holds the device, as far as the system lets us see: "minicom (pid 4711)", several
// joined by ", "; empty when nothing can be told.
std::string DeviceHoldersText(const std::string& path, Language language);
// A port held only by the exclusive flag of a program that ended without giving it back:
// whose flag it is, who keeps the terminal open, and how to clear it.
std::string StaleHoldText(const std::string& path, Language language);
// How to get access to serial devices that are not open to this user.
std::string PermissionAdvice(Language language);

}  // namespace platform
