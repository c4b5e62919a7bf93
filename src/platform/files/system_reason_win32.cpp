#include <windows.h>

#include "platform/files/system_reason.h"
#include "platform/text/win32_text.h"

namespace platform::detail {

ReasonKind ReasonKindOf(unsigned long code) {
  switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ReasonKind::DiskFull;
    case ERROR_ACCESS_DENIED:
      return ReasonKind::NoPermission;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ReasonKind::NoSuchFileOrFolder;
    case ERROR_WRITE_PROTECT:
      return ReasonKind::ReadOnlyDisk;
    case ERROR_DIRECTORY:
      return ReasonKind::NotFolderInPath;
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
      return ReasonKind::DeviceGone;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return ReasonKind::AlreadyExists;
    case ERROR_FILE_TOO_LARGE:
      return ReasonKind::TooLargeForDisk;
    default:
      return ReasonKind::Other;
  }
}

// In Turkish, a reason without words of its own is the system's, in the language of the
// user's Windows: Turkish on a Turkish Windows.
std::string SystemWords(unsigned long code, Language language) {
  return language == Language::English ? SystemErrorText(code) : UserLanguageErrorText(code);
}

}  // namespace platform::detail
