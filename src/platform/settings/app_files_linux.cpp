#include <QStandardPaths>

#include "platform/settings/app_files.h"

// The package's configuration folder, from the build's install prefix.
#ifndef WIRELAB_SYSTEM_CONFIG_DIR
#define WIRELAB_SYSTEM_CONFIG_DIR "/etc/wirelab"
#endif

namespace platform::detail {
namespace {

// The XDG folder, with its trailing "/".
std::string Folder(QStandardPaths::StandardLocation location) {
  return QStandardPaths::writableLocation(location).toStdString() + "/";
}

}  // namespace

std::optional<InstalledPlaces> SystemInstalledPlaces() {
  InstalledPlaces places;
  places.userConfigDir = Folder(QStandardPaths::GenericConfigLocation) + "wirelab/";
  places.systemConfigDir = std::string(WIRELAB_SYSTEM_CONFIG_DIR) + "/";
  places.documentsDir = Folder(QStandardPaths::DocumentsLocation) + "WireLab/";
  return places;
}

}  // namespace platform::detail
