#pragma once
// Paths and messages at the edge of the Windows calls: UTF-8 inside the programs, UTF-16 at
// the system's wide calls.

#include <string>

namespace platform {

std::wstring ToWide(const std::string& utf8);
std::string FromWide(const std::wstring& wide);
// The system's own words for an error code (GetLastError), without the trailing line break.
std::string SystemErrorText(unsigned long code);

}  // namespace platform
