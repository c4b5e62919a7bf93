#include <windows.h>

#include "platform/files/system_reason.h"
#include "platform/text/win32_text.h"

namespace platform {
namespace {

const char* TurkishReason(DWORD code) {
  switch (code) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "Diskte yer kalmadı";
    case ERROR_ACCESS_DENIED:
      return "Erişim izni yok";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "Böyle bir dosya ya da klasör yok";
    case ERROR_WRITE_PROTECT:
      return "Disk salt okunur";
    case ERROR_DIRECTORY:
      return "Yoldaki bir ad klasör değil";
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
      return "Giriş/çıkış hatası: cihaz yok ya da çıkarıldı";
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return "Dosya zaten var";
    case ERROR_FILE_TOO_LARGE:
      return "Dosya bu disk için fazla büyük";
    default:
      return nullptr;
  }
}

}  // namespace

// In Turkish, a reason without words of its own here is the system's, in the language of
// the user's Windows: Turkish on a Turkish Windows.
std::string SystemReason(unsigned long code, Language language) {
  if (language == Language::English) return SystemErrorText(code);
  if (const char* text = TurkishReason(static_cast<DWORD>(code))) return text;
  return UserLanguageErrorText(code);
}

}  // namespace platform
