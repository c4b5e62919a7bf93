#include "platform/app_paths.h"

#include <unistd.h>

#include <QCoreApplication>

namespace platform {
namespace {

std::string ProcSelfExeDir() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "./";
  buffer.resize(static_cast<size_t>(n));
  const size_t slash = buffer.rfind('/');
  if (slash == std::string::npos) return "./";
  return buffer.substr(0, slash + 1);
}

}  // namespace

std::string ExecutableDir() {
  if (QCoreApplication::instance() != nullptr) {
    const QByteArray dir = QCoreApplication::applicationDirPath().toLocal8Bit();
    if (!dir.isEmpty()) {
      std::string result(dir.constData(), static_cast<size_t>(dir.size()));
      if (result.back() != '/') result += '/';
      return result;
    }
  }
  return ProcSelfExeDir();
}

}  // namespace platform
