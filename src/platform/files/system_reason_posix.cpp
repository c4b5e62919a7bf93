#include <cerrno>
#include <cstring>

#include "platform/files/system_reason.h"

namespace platform::detail {

ReasonKind ReasonKindOf(unsigned long code) {
  switch (static_cast<int>(code)) {
    case ENOSPC:
    case EDQUOT:
      return ReasonKind::DiskFull;
    case EACCES:
    case EPERM:
      return ReasonKind::NoPermission;
    case ENOENT:
      return ReasonKind::NoSuchFileOrFolder;
    case EROFS:
      return ReasonKind::ReadOnlyDisk;
    case EISDIR:
      return ReasonKind::IsFolder;
    case ENOTDIR:
      return ReasonKind::NotFolderInPath;
    case EIO:
    case ENXIO:
    case ENODEV:
      return ReasonKind::DeviceGone;
    case EEXIST:
      return ReasonKind::AlreadyExists;
    case EFBIG:  // a FAT32 stick's 4 GiB, or the process's own limit
      return ReasonKind::TooLargeForDisk;
    default:
      return ReasonKind::Other;
  }
}

// The C library's words, in English whatever the language asked for.
std::string SystemWords(unsigned long code, Language) {
  return std::strerror(static_cast<int>(code));
}

}  // namespace platform::detail
