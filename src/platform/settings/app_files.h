#pragma once
// Where the programs find WireLab.ini and put the files they write.
//
// A program whose own folder holds a WireLab.ini (a build folder, a copy carried on a USB
// stick) reads and writes everything beside itself. An installed one, whose folder belongs to
// the system, reads the user's WireLab.ini, else the system's; its saves go to the user's file
// and its output files (the Omron loop's results, port captures) to a folder in the user's
// documents. Paths are UTF-8; folders end in "/".

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct AppFiles {
  std::string settings;      // the WireLab.ini read at start-up; it may be missing
  std::string userSettings;  // the WireLab.ini that the port menu's save writes
  // What a first save starts from when userSettings is missing; empty: an empty file.
  std::string settingsSeed;
  std::string outputDir;  // where output files go; made when first needed
};

// The folders an installed program uses on this system.
struct InstalledPlaces {
  std::string userConfigDir;    // $XDG_CONFIG_HOME/wirelab/; Windows: %APPDATA%/WireLab/
  std::string systemConfigDir;  // /etc/wirelab/; Windows: the program folder's defaults/
  std::string documentsDir;     // the user's documents folder's WireLab/
};

// Everything in folder.
AppFiles FilesBeside(const std::string& folder);
// The rule above, for a program in programDir; without places, everything is beside it.
AppFiles ChooseAppFiles(const std::string& programDir,
                        const std::optional<InstalledPlaces>& places);
// The rule for this program on this machine.
AppFiles LocateAppFiles();

// The path of the output file name: in files.outputDir, which is made (with any missing
// folder above it) when it is not there yet. Throws std::runtime_error with a message for
// the window's user (Turkish, UTF-8) when the folder cannot be made.
std::string OutputFilePath(const AppFiles& files, std::string_view name);

namespace detail {
// This system's folders for an installed program; empty where the system names none.
std::optional<InstalledPlaces> SystemInstalledPlaces();
}  // namespace detail

}  // namespace platform
