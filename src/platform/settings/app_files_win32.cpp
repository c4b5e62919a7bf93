#include "platform/settings/app_files.h"

namespace platform::detail {

// On Windows WireLab is always a folder of its own, unzipped where the user can write: its
// files stay beside it.
std::optional<InstalledPlaces> SystemInstalledPlaces() {
  return std::nullopt;
}

}  // namespace platform::detail
