#include "platform/settings/app_paths.h"

#include <QCoreApplication>

namespace platform {

std::string ExecutableDir() {
  if (QCoreApplication::instance() != nullptr) {
    const QByteArray dir = QCoreApplication::applicationDirPath().toUtf8();
    if (!dir.isEmpty()) {
      std::string result(dir.constData(), static_cast<size_t>(dir.size()));
      if (result.back() != '/') result += '/';
      return result;
    }
  }
  return detail::SystemExecutableDir();
}

}  // namespace platform
