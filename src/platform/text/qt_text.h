#pragma once
// Conversion between the system's CP1254 text and Qt's QString.

#include <QString>
#include <string>
#include <string_view>

namespace platform {

QString ToQString(std::string_view cp1254);
std::string FromQString(const QString& text);

}  // namespace platform
