#include "platform/text/qt_text.h"

#include "platform/text/cp1254.h"

namespace platform {

QString ToQString(std::string_view cp1254) {
  QString out;
  out.reserve(static_cast<qsizetype>(cp1254.size()));
  for (char c : cp1254) {
    out += QChar(static_cast<char16_t>(Cp1254ToUnicode(static_cast<uint8_t>(c))));
  }
  return out;
}

// A surrogate pair (a character beyond the code page in any case) becomes one "?", as does
// a lone surrogate.
std::string FromQString(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  const qsizetype n = text.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = text.at(i).unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
      ++i;
      out += '?';
    } else if (QChar::isSurrogate(u)) {
      out += '?';
    } else {
      out += static_cast<char>(UnicodeToCp1254(u));
    }
  }
  return out;
}

}  // namespace platform
