#include <cerrno>
#include <cstring>

#include "platform/files/system_reason.h"

namespace platform {
namespace {

const char* TurkishReason(int code) {
  switch (code) {
    case ENOSPC:
    case EDQUOT:
      return "Diskte yer kalmadı";
    case EACCES:
    case EPERM:
      return "Erişim izni yok";
    case ENOENT:
      return "Böyle bir dosya ya da klasör yok";
    case EROFS:
      return "Disk salt okunur";
    case EISDIR:
      return "Bu bir klasör";
    case ENOTDIR:
      return "Yoldaki bir ad klasör değil";
    case EIO:
    case ENXIO:
    case ENODEV:
      return "Giriş/çıkış hatası: cihaz yok ya da çıkarıldı";
    case EEXIST:
      return "Dosya zaten var";
    case EFBIG:  // a FAT32 stick's 4 GiB, or the process's own limit
      return "Dosya bu disk için fazla büyük";
    default:
      return nullptr;
  }
}

}  // namespace

std::string SystemReason(unsigned long code, Language language) {
  const int error = static_cast<int>(code);
  if (language == Language::Turkish) {
    if (const char* text = TurkishReason(error)) return text;
  }
  return std::strerror(error);
}

}  // namespace platform
