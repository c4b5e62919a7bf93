#include "platform/files/system_reason.h"

namespace platform {
namespace {

struct TurkishWords {
  ReasonKind kind;
  const char* text;
};

constexpr TurkishWords kTurkish[] = {
    {ReasonKind::DiskFull, "Diskte yer kalmadı"},
    {ReasonKind::NoPermission, "Erişim izni yok"},
    {ReasonKind::NoSuchFileOrFolder, "Böyle bir dosya ya da klasör yok"},
    {ReasonKind::ReadOnlyDisk, "Disk salt okunur"},
    {ReasonKind::IsFolder, "Bu bir klasör"},
    {ReasonKind::NotFolderInPath, "Yoldaki bir ad klasör değil"},
    {ReasonKind::DeviceGone, "Giriş/çıkış hatası: cihaz yok ya da çıkarıldı"},
    {ReasonKind::AlreadyExists, "Dosya zaten var"},
    {ReasonKind::TooLargeForDisk, "Dosya bu disk için fazla büyük"},
};

}  // namespace

std::string SystemReason(unsigned long code, Language language) {
  if (language == Language::Turkish) {
    const ReasonKind kind = detail::ReasonKindOf(code);
    for (const TurkishWords& words : kTurkish) {
      if (words.kind == kind) return words.text;
    }
  }
  return detail::SystemWords(code, language);
}

}  // namespace platform
