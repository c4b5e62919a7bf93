#include <windows.h>
// windows.h first: the shell's headers need its types.
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/settings/app_files.h"
#include "platform/settings/app_paths.h"
#include "platform/text/win32_text.h"

namespace platform::detail {
namespace {

// A folder the shell knows (the user's roaming application data, the documents), with "/"
// between the names and at the end; empty when the shell has none for this user.
std::string KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path && *path) {
    folder = FromWide(path);
    for (char& c : folder) {
      if (c == '\\') c = '/';
    }
    if (folder.back() != '/') folder += '/';
  }
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

// The installer puts the sample settings into the program folder's "defaults" folder and no
// WireLab.ini beside the programs; a copy unzipped anywhere has one and stays as it is.
std::optional<InstalledPlaces> SystemInstalledPlaces() {
  InstalledPlaces places;
  places.userConfigDir = KnownFolder(FOLDERID_RoamingAppData);
  places.documentsDir = KnownFolder(FOLDERID_Documents);
  if (places.userConfigDir.empty() || places.documentsDir.empty()) return std::nullopt;
  places.userConfigDir += "WireLab/";
  places.documentsDir += "WireLab/";
  places.systemConfigDir = ExecutableDir() + "defaults/";
  return places;
}

}  // namespace platform::detail
