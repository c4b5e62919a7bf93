#include <windows.h>

#include "platform/settings/app_paths.h"
#include "platform/text/win32_text.h"

namespace platform::detail {

std::string SystemExecutableDir() {
  std::wstring buffer(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return "./";
  buffer.resize(n);
  std::string path = FromWide(buffer);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace platform::detail
