#include "platform/settings/app_files.h"

#include <stdexcept>

#include "platform/files/file_io.h"
#include "platform/settings/app_paths.h"
#include "platform/settings/profile.h"

namespace platform {
namespace {

constexpr const char* kSettingsName = "WireLab.ini";

// Anything by that name counts, even what cannot be read as settings: the reader says why.
bool IsThere(const std::string& path) {
  return ReadSmallFile(path, kMaxProfileBytes, Language::English).status !=
         SmallFile::Status::Missing;
}

}  // namespace

AppFiles FilesBeside(const std::string& folder) {
  const std::string settings = folder + kSettingsName;
  return {settings, settings, "", folder};
}

AppFiles ChooseAppFiles(const std::string& programDir,
                        const std::optional<InstalledPlaces>& places) {
  if (!places || IsThere(programDir + kSettingsName)) return FilesBeside(programDir);
  AppFiles files;
  files.userSettings = places->userConfigDir + kSettingsName;
  files.settingsSeed = places->systemConfigDir + kSettingsName;
  files.settings = IsThere(files.userSettings) ? files.userSettings : files.settingsSeed;
  files.outputDir = places->documentsDir;
  return files;
}

AppFiles LocateAppFiles() {
  return ChooseAppFiles(ExecutableDir(), detail::SystemInstalledPlaces());
}

std::string OutputFilePath(const AppFiles& files, std::string_view name) {
  std::string reason;
  if (!MakeFolders(files.outputDir, reason, Language::Turkish)) {
    throw std::runtime_error("\"" + files.outputDir + "\" klasörü oluşturulamadı. " + reason + ".");
  }
  return files.outputDir + std::string(name);
}

}  // namespace platform
