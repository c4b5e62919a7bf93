// Where the programs read WireLab.ini, where the port menu's save writes it and where output
// files go: beside the program when its folder holds a WireLab.ini, else in the user's folders.
#include "platform/settings/app_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "expected_texts.h"
#include "platform/settings/app_paths.h"
#include "platform/settings/profile_writer.h"
#include "test_support.h"

namespace {

using platform::AppFiles;

struct Layout {
  TempAppDir dir;
  const std::string program = dir.Path() + "bin/";
  const platform::InstalledPlaces places{dir.Path() + "config/wirelab/",
                                         dir.Path() + "etc/wirelab/",
                                         dir.Path() + "Documents/WireLab/"};
  Layout() {
    std::filesystem::create_directories(program);
    std::filesystem::create_directories(places.systemConfigDir);
  }
};

TEST(AppFiles, TheProgramsFolderWinsThenTheUsersFileThenTheSystems) {
  Layout at;
  const AppFiles beside = platform::FilesBeside(at.program);
  EXPECT_EQ(beside.settings, at.program + "WireLab.ini");
  EXPECT_EQ(beside.userSettings, beside.settings);
  EXPECT_EQ(beside.settingsSeed, "");
  EXPECT_EQ(beside.outputDir, at.program);
  const std::string user = at.places.userConfigDir + "WireLab.ini";
  // As the Windows installer lays it out: the sample in the program folder's "defaults".
  platform::InstalledPlaces sampleInProgram = at.places;
  sampleInProgram.systemConfigDir = at.program + "defaults/";
  std::filesystem::create_directories(sampleInProgram.systemConfigDir);
  const struct {
    const char* name;
    bool besideProgram, users, systems, installedForm, sampleInProgramFolder;
    bool readsUsers;  // else the system's, where not everything is beside the program
    bool beside;
  } rows[] = {
      {"a build folder or a copy on a stick", true, true, true, true, false, false, true},
      {"installed, the user saved before", false, true, true, true, false, true, false},
      {"installed, first run", false, false, true, true, false, false, false},
      {"installed, the system's file removed", false, false, false, true, false, false, false},
      {"a system without an installed form", false, true, true, false, false, false, true},
      {"installed on Windows, first run", false, false, true, true, true, false, false},
      {"installed on Windows, the user saved before", false, true, true, true, true, true, false},
      {"a copy with the installed sample as well", true, false, true, true, true, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const platform::InstalledPlaces& places =
        row.sampleInProgramFolder ? sampleInProgram : at.places;
    const std::string system = places.systemConfigDir + "WireLab.ini";
    std::filesystem::remove_all(at.places.userConfigDir);
    std::filesystem::remove(at.program + "WireLab.ini");
    std::filesystem::remove(at.places.systemConfigDir + "WireLab.ini");
    std::filesystem::remove(sampleInProgram.systemConfigDir + "WireLab.ini");
    if (row.besideProgram) at.dir.WriteFile("bin/WireLab.ini", "");
    if (row.users) {
      std::filesystem::create_directories(at.places.userConfigDir);
      at.dir.WriteFile("config/wirelab/WireLab.ini", "");
    }
    if (row.systems) std::ofstream(system).flush();
    const AppFiles files = platform::ChooseAppFiles(
        at.program, row.installedForm ? std::optional(places) : std::nullopt);
    if (row.beside) {
      EXPECT_EQ(files.settings, beside.settings);
      EXPECT_EQ(files.userSettings, beside.userSettings);
      EXPECT_EQ(files.settingsSeed, "");
      EXPECT_EQ(files.outputDir, at.program);
    } else {
      EXPECT_EQ(files.settings, row.readsUsers ? user : system);
      EXPECT_EQ(files.userSettings, user);
      EXPECT_EQ(files.settingsSeed, system);
      EXPECT_EQ(files.outputDir, at.places.documentsDir);
    }
  }
}

// The first save copies the system's file into a folder made for it and changes only its own
// line there; a user folder that cannot be made leaves everything as it was.
TEST(AppFiles, TheFirstSaveStartsTheUsersFileFromTheSystemsAndAFailedOneChangesNothing) {
  Layout at;
  const std::string system = "; rig\r\n[Tabs]\r\nPos=0\r\n[Ports]\r\nCom1=/dev/ttyUSB0\r\n";
  at.dir.WriteFile("etc/wirelab/WireLab.ini", system);
  const AppFiles files = platform::ChooseAppFiles(at.program, at.places);
  platform::WriteProfileValue(files.userSettings, "Ports", "Com2", "/dev/ttyUSB1",
                              files.settingsSeed);
  EXPECT_EQ(at.dir.ReadFile("config/wirelab/WireLab.ini"), system + "Com2=/dev/ttyUSB1\r\n");
  platform::WriteProfileValue(files.userSettings, "Ports", "Com1", "/dev/ttyACM0",
                              files.settingsSeed);
  EXPECT_EQ(at.dir.ReadFile("config/wirelab/WireLab.ini"),
            "; rig\r\n[Tabs]\r\nPos=0\r\n[Ports]\r\nCom1=/dev/ttyACM0\r\nCom2=/dev/ttyUSB1\r\n");
  EXPECT_EQ(at.dir.ReadFile("etc/wirelab/WireLab.ini"), system);

  // The user's configuration folder is a file: it cannot be made.
  std::filesystem::remove_all(at.dir.Path() + "config");
  at.dir.WriteFile("config", "");
  try {
    platform::WriteProfileValue(files.userSettings, "Ports", "Com2", "/dev/x", files.settingsSeed);
    ADD_FAILURE() << "saved";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(
        std::string(e.what()),
        expected::NotSaved(files.userSettings, "klasörü oluşturulamıyor: Bu bir klasör değil"));
  }
  EXPECT_EQ(at.dir.ReadFile("config"), "");
  EXPECT_EQ(at.dir.ReadFile("etc/wirelab/WireLab.ini"), system);
}

TEST(AppFiles, TheOutputFolderIsMadeWhenFirstNeeded) {
  Layout at;
  const AppFiles files = platform::ChooseAppFiles(at.program, at.places);
  EXPECT_FALSE(std::filesystem::exists(at.places.documentsDir));
  EXPECT_EQ(platform::OutputFilePath(files, "OmronResults.txt"),
            at.places.documentsDir + "OmronResults.txt");
  EXPECT_TRUE(std::filesystem::is_directory(at.places.documentsDir));
  EXPECT_EQ(platform::OutputFilePath(files, "x.txt"), at.places.documentsDir + "x.txt");

  std::filesystem::remove_all(at.dir.Path() + "Documents");
  at.dir.WriteFile("Documents", "");
  EXPECT_THROW(platform::OutputFilePath(files, "OmronResults.txt"), std::runtime_error);
}

#ifndef _WIN32
// The user's folders follow XDG: $XDG_CONFIG_HOME, and the documents folder that
// user-dirs.dirs names.
TEST(AppFiles, AnInstalledProgramsFoldersFollowTheUsersXdgSettings) {
  TempAppDir dir;
  const char* const oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldConfig ? oldConfig : "";
  setenv("XDG_CONFIG_HOME", (dir.Path() + "cfg").c_str(), 1);
  std::filesystem::create_directories(dir.Path() + "cfg");
  dir.WriteFile("cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"" + dir.Path() + "Belgeler\"\n");
  const std::optional<platform::InstalledPlaces> places = platform::detail::SystemInstalledPlaces();
  oldConfig ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(places);
  EXPECT_EQ(places->userConfigDir, dir.Path() + "cfg/wirelab/");
  EXPECT_EQ(places->documentsDir, dir.Path() + "Belgeler/WireLab/");
  EXPECT_EQ(places->systemConfigDir.substr(places->systemConfigDir.size() - 9), "/wirelab/");
}
#else
// An installed program keeps the user's settings in the roaming application data, its output
// in the documents, and reads the installer's sample from its own folder's "defaults".
TEST(AppFiles, OnWindowsAnInstalledProgramUsesTheUsersAppDataAndDocuments) {
  const std::optional<platform::InstalledPlaces> places = platform::detail::SystemInstalledPlaces();
  ASSERT_TRUE(places);
  const char* const appData = std::getenv("APPDATA");
  ASSERT_NE(appData, nullptr);
  std::string roaming = appData;
  for (char& c : roaming) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(places->userConfigDir, roaming + "/WireLab/");
  EXPECT_EQ(places->documentsDir.substr(places->documentsDir.size() - 9), "/WireLab/");
  EXPECT_NE(places->documentsDir, places->userConfigDir);
  EXPECT_EQ(places->systemConfigDir, platform::ExecutableDir() + "defaults/");
}
#endif

}  // namespace
