#pragma once
// The reason a call to the system failed, in words for a person.

#include <string>

#include "platform/text/language.h"

namespace platform {

// The words for the error code the system gave for the failed call. In English these are the
// system's own words; in Turkish the faults a technician meets with files and devices (disk
// full, no permission, no such file or folder, read-only disk, a folder where a file was meant
// and the other way round, the device gone, the file already there, a file too large for its
// disk) have Turkish words and the rest keep the system's.
std::string SystemReason(unsigned long code, Language language);

}  // namespace platform
