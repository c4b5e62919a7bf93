#pragma once
// The reason a call to the system failed, in words for a person.

#include <cstdint>
#include <string>

#include "platform/text/language.h"

namespace platform {

// The words for the error code the system gave for the failed call. In English these are the
// system's own words; in Turkish the faults a technician meets with files and devices (disk
// full, no permission, no such file or folder, read-only disk, a folder where a file was meant
// and the other way round, the device gone, the file already there, a file too large for its
// disk) have Turkish words and the rest keep the system's.
std::string SystemReason(unsigned long code, Language language);

// Those faults, whatever system's codes name them. Each system's file maps its codes into
// one of these; the words for each are in one table (system_reason.cpp).
enum class ReasonKind : uint8_t {
  Other,  // no words of its own: the system's are used
  DiskFull,
  NoPermission,
  NoSuchFileOrFolder,
  ReadOnlyDisk,
  IsFolder,
  NotFolderInPath,
  DeviceGone,
  AlreadyExists,
  TooLargeForDisk,
};

namespace detail {
// The system's file: which fault the code is.
ReasonKind ReasonKindOf(unsigned long code);
// The system's file: the system's own words for the code, in the language asked for where
// the system has them in it.
std::string SystemWords(unsigned long code, Language language);
}  // namespace detail

}  // namespace platform
