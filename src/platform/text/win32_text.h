#pragma once
// Paths and messages at the edge of the Windows calls: UTF-8 inside the programs, UTF-16 at
// the system's wide calls.

#include <string>

namespace platform {

std::wstring ToWide(const std::string& utf8);
std::string FromWide(const std::wstring& wide);
// The system's own words for an error code (GetLastError), in English, without the trailing
// line break and full stop.
std::string SystemErrorText(unsigned long code);
// The same in the language of the user's Windows, where it has the words.
std::string UserLanguageErrorText(unsigned long code);

}  // namespace platform
