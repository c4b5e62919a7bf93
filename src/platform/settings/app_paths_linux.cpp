#include <unistd.h>

#include "platform/settings/app_paths.h"

namespace platform::detail {

std::string SystemExecutableDir() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "./";
  buffer.resize(static_cast<size_t>(n));
  const size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return "./";
  return buffer.substr(0, slash + 1);
}

}  // namespace platform::detail
