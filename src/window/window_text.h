#pragma once
// The window's own words are written in its source as UTF-8, as are device paths and file
// names; Utf8 makes a QString of them. (Text in the system's CP1254 goes through
// platform::ToQString instead.)

#include <QString>
#include <string_view>

inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
