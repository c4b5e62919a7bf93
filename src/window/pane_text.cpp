#include "window/pane_text.h"

#include "platform/text/cp1254.h"
#include "platform/text/qt_text.h"

namespace {
constexpr char16_t kLineFeedPicture = u'\u240A';
constexpr char16_t kCarriageReturnPicture = u'\u240D';
}  // namespace

QString PaneText(std::string_view cp1254) {
  QString text(static_cast<qsizetype>(cp1254.size()), Qt::Uninitialized);
  QChar* out = text.data();
  for (char c : cp1254) {
    const auto byte = static_cast<uint8_t>(c);
    *out++ = byte == '\n'   ? QChar(kLineFeedPicture)
             : byte == '\r' ? QChar(kCarriageReturnPicture)
                            : QChar(static_cast<char16_t>(platform::Cp1254ToUnicode(byte)));
  }
  return text;
}

std::string PaneBytes(const QString& shown) {
  QString text = shown;
  text.replace(QChar(kLineFeedPicture), QChar(u'\n'));
  text.replace(QChar(kCarriageReturnPicture), QChar(u'\r'));
  return platform::FromQString(text);
}
