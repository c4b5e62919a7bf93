#include "platform/settings/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "expected_texts.h"
#include "platform/devices/com_devices.h"
#include "platform/settings/app_paths.h"
#include "platform/settings/profile_encoding.h"
#include "platform/settings/profile_writer.h"
#include "test_support.h"

namespace {

using platform::Profile;

TEST(Profile, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
  const Profile p = Profile::Parse(
      "; WireLab\r\n"
      "[TABS]\r\n"
      "Ascii=0\r\n"
      "  omron \t=\t 0  \r\n"
      "yazarkasa= \"-1\" \r\n"
      "Pos='$10'\n"
      "Empty=\n"
      "Quoted=\"\"\n"
      "Half=\"x\n"
      "Mixed=\"x'\n"
      "Inner=a \"b\" c\n"
      "Eq=a=b\n"
      "[ Other ]\n"
      "Key=other\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;  // nullptr: not found
  } rows[] = {
      {"Tabs", "Ascii", "0"},      {"tabs", "OMRON", "0"},    {"Tabs", "YazarKasa", "-1"},
      {"Tabs", "Pos", "$10"},      {"Tabs", "Empty", ""},     {"Tabs", "Quoted", ""},
      {"Tabs", "Half", "\"x"},     {"Tabs", "Mixed", "\"x'"}, {"Tabs", "Inner", "a \"b\" c"},
      {"Tabs", "Eq", "a=b"},       {"other", "key", "other"}, {"Tabs", "Key", nullptr},
      {"Other", "Ascii", nullptr}, {"Tab", "Ascii", nullptr}, {"Tabs", "Asci", nullptr},
  };
  for (const auto& row : rows) {
    const std::optional<std::string> found = p.Find(row.section, row.key);
    if (row.value == nullptr) {
      EXPECT_FALSE(found) << row.section << "/" << row.key;
    } else {
      EXPECT_EQ(found, std::optional<std::string>(row.value)) << row.section << "/" << row.key;
    }
  }
  EXPECT_EQ(p.ReadInteger("Tabs", "Ascii", 1), 0);
  EXPECT_EQ(p.ReadInteger("tabs", "YazarKasa", 1), -1);
  EXPECT_EQ(p.ReadInteger("Tabs", "Pos", 1), 16);
  EXPECT_EQ(p.ReadInteger("Tabs", "Empty", 1), 1);
  EXPECT_EQ(p.ReadInteger("Tabs", "Inner", 1), 1);
  EXPECT_EQ(p.ReadInteger("Tabs", "Missing", 1), 1);
  EXPECT_EQ(p.ReadString("Tabs", "Missing", "def"), "def");
}

TEST(Profile, FirstMatchWinsAcrossRepeatedKeysAndSections) {
  const Profile p =
      Profile::Parse("[Tabs]\nAscii=5\nASCII=6\n[Other]\nAscii=7\n[tabs]\nascii=8\nOmron=9\n");
  EXPECT_EQ(p.ReadInteger("Tabs", "Ascii", 1), 5);
  EXPECT_EQ(p.ReadInteger("Tabs", "Omron", 1), 9);
}

TEST(Profile, CommentsStrayLinesAndKeysBeforeAnySectionAreIgnored) {
  const Profile p = Profile::Parse(
      "Ascii=3\n"
      "[Tabs]\n"
      ";Ascii=4\n"
      "  ; Omron=4\n"
      "just text\n"
      "=5\n"
      "Pos=6 ; not a comment\n"
      "Ascii=2");  // last line without an ending
  EXPECT_EQ(p.ReadInteger("Tabs", "Ascii", 1), 2);
  EXPECT_EQ(p.ReadInteger("Tabs", "Omron", 1), 1);
  EXPECT_EQ(p.ReadString("Tabs", "Pos", ""), "6 ; not a comment");
  EXPECT_EQ(p.ReadInteger("Tabs", "Pos", 1), 1);
}

TEST(Profile, SurvivesGarbageAndHugeLines) {
  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage += static_cast<char>(seed >> 16);
  }
  garbage +=
      "\n[Tabs]\nAscii=" + std::string(1 << 20, '7') + "\nPos=3\n" + std::string(1 << 20, '[');
  const Profile p = Profile::Parse(garbage);
  EXPECT_EQ(p.ReadInteger("Tabs", "Ascii", 1), 1);  // overflows: the default
  EXPECT_EQ(p.ReadInteger("Tabs", "Pos", 1), 3);
  EXPECT_FALSE(Profile::Parse("").Find("Tabs", "Ascii"));
  EXPECT_FALSE(Profile().Find("", ""));
}

TEST(Profile, LoadReadsTheFileAndAMissingFileIsEmpty) {
  TempAppDir dir;
  dir.WriteFile("WireLab.ini", "[tabs]\r\nOmron=0\r\n");
  EXPECT_EQ(Profile::Load(dir.Path() + "WireLab.ini").ReadInteger("Tabs", "Omron", 1), 0);
  // As Windows editors save it: a byte-order mark before the first section.
  dir.WriteFile("Bom.ini", "\xEF\xBB\xBF[Ports]\r\nCom1=/dev/pts/7\r\n");
  EXPECT_EQ(Profile::Load(dir.Path() + "Bom.ini").ReadString("Ports", "Com1", ""), "/dev/pts/7");
  EXPECT_EQ(Profile::Load(dir.Path() + "Missing.ini").ReadInteger("Tabs", "Omron", 1), 1);
  EXPECT_EQ(Profile::Load(dir.Path()).ReadInteger("Tabs", "Omron", 1), 1);  // a directory
}

// Notepad's "Unicode" is UTF-16 with its byte-order mark: read in either byte order, and a
// save writes the file back in UTF-16, never 8-bit lines beside it.
TEST(Profile, AUtf16FileIsReadAndSavedInItsOwnEncoding) {
  using platform::ProfileEncoding;
  EXPECT_EQ(platform::EncodeProfile("\xC4\x9F\xF0\x9F\x98\x80", ProfileEncoding::Utf16Be),
            std::string("\xFE\xFF\x01\x1F\xD8\x3D\xDE\x00", 8));  // ğ and a surrogate pair
  TempAppDir dir;
  const std::string path = dir.Path() + "Wide.ini";
  const std::string before = "[Tabs]\r\nOmron=0\r\n[Ports]\r\nCom1=/dev/ğ\r\n";
  for (const ProfileEncoding encoding : {ProfileEncoding::Utf16Le, ProfileEncoding::Utf16Be}) {
    dir.WriteFile("Wide.ini", platform::EncodeProfile(before, encoding));
    EXPECT_EQ(Profile::Load(path).ReadInteger("Tabs", "Omron", 1), 0);
    EXPECT_EQ(Profile::Load(path).ReadString("Ports", "Com1", ""), "/dev/ğ");
    platform::WriteProfileValue(path, "Ports", "Com2", "/dev/pts/9");
    EXPECT_EQ(dir.ReadFile("Wide.ini"),
              platform::EncodeProfile(before + "Com2=/dev/pts/9\r\n", encoding));
  }
  // Without its mark UTF-16 cannot be told apart: neither read nor saved over, and said why.
  dir.WriteFile("Wide.ini", std::string("[\0P\0o\0r\0t\0s\0]\0", 14));
  std::string why;
  EXPECT_FALSE(Profile::Load(path, &why).Find("Ports", "Com1"));
  EXPECT_EQ(why, platform::kUnknownEncoding);
  EXPECT_THROW(platform::WriteProfileValue(path, "Ports", "Com1", "/dev/x"), std::runtime_error);
  EXPECT_EQ(dir.ReadFile("Wide.ini"), std::string("[\0P\0o\0r\0t\0s\0]\0", 14));
}

#ifndef _WIN32
// What is not a settings file (a link to an endless device, a FIFO nobody writes, a huge
// file) is neither read at start-up nor replaced by a save: the reason is given instead, in
// English on the programs' error output and in Turkish in the window's box.
TEST(Profile, OnlyARegularFileOfSaneSizeIsReadOrReplaced) {
  TempAppDir dir;
  std::filesystem::create_symlink("/dev/zero", dir.Path() + "zero.ini");
  ASSERT_EQ(mkfifo((dir.Path() + "fifo.ini").c_str(), 0600), 0);
  dir.WriteFile("huge.ini",
                "[Ports]\nCom1=/dev/x\n" + std::string(platform::kMaxProfileBytes, ';'));
  const std::string tooLarge = std::to_string(platform::kMaxProfileBytes);
  const struct {
    const char* name;
    std::string why, reason;
  } rows[] = {
      {"zero.ini", "it is a device", "Bu bir cihaz"},
      {"fifo.ini", "it is a FIFO", "Bu bir FIFO"},
      {"huge.ini", "it is larger than " + tooLarge + " bytes",
       "Dosya " + tooLarge + " bayttan büyük"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir.Path() + row.name;
    std::string why;
    EXPECT_EQ(Profile::Load(path, &why).ReadString("Ports", "Com1", "none"), "none");
    EXPECT_EQ(why, row.why);
    try {
      platform::WriteProfileValue(path, "Ports", "Com1", "/dev/y");
      ADD_FAILURE() << "saved";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), expected::NotSaved(path, "okunamıyor: " + row.reason));
    }
  }
  EXPECT_EQ(dir.ReadFile("huge.ini").size(), platform::kMaxProfileBytes + 20);
}
#endif

TEST(ComDevices, DefaultsToTheSystemsOwnPortAndFollowsThePortsSection) {
  platform::ComDevices devices;
  const std::string com1 = platform::DefaultComDevice(1);
  EXPECT_TRUE(com1 == "/dev/ttyS0" || com1 == "COM1") << com1;
  EXPECT_EQ(devices.Path(1), com1);
  devices.Load(
      Profile::Parse("[ports]\ncom1=/dev/pts/7\nCOM3 = \"/dev/ttyUSB0\"\nCom4=\nCom10=/dev/x\n"));
  EXPECT_EQ(devices.Path(1), "/dev/pts/7");
  EXPECT_EQ(devices.Path(2), platform::DefaultComDevice(2));
  EXPECT_EQ(devices.Path(3), "/dev/ttyUSB0");
  EXPECT_EQ(devices.Path(4), platform::DefaultComDevice(4));
  EXPECT_EQ(devices.Path(10), platform::DefaultComDevice(10));
  devices.Set(2, "/dev/pts/9");
  devices.Set(1, "");
  EXPECT_EQ(devices.Path(1), com1);
  EXPECT_EQ(devices.Path(2), "/dev/pts/9");
  devices.Load(Profile());  // a fresh load replaces every earlier mapping
  EXPECT_EQ(devices.Path(2), platform::DefaultComDevice(2));
}

TEST(AppPaths, ExecutableDirEndsWithSlash) {
  const std::string real = platform::ExecutableDir();
  ASSERT_FALSE(real.empty());
  EXPECT_EQ(real.back(), '/');
}

}  // namespace

namespace {

// Setting a value changes its own line, or adds one, and keeps every other byte.
TEST(ProfileWriter, SetsOneValueAndKeepsTheRestOfTheFile) {
  const struct {
    const char* before;
    const char* after;
  } rows[] = {
      {"", "[Ports]\nCom1=/dev/x\n"},
      {"; only a comment", "; only a comment\n[Ports]\nCom1=/dev/x\n"},
      {"[Tabs]\r\nAscii=0\r\n", "[Tabs]\r\nAscii=0\r\n[Ports]\r\nCom1=/dev/x\r\n"},
      {"[PORTS]\n ; c\n com1 =  /dev/old \n", "[PORTS]\n ; c\n com1 =  /dev/x\n"},
      {"[Ports]\r\nCom2=a\r\n\r\n[Tabs]\r\n", "[Ports]\r\nCom2=a\r\nCom1=/dev/x\r\n\r\n[Tabs]\r\n"},
      {"[Ports]\n[Tabs]\nCom1=other\n", "[Ports]\nCom1=/dev/x\n[Tabs]\nCom1=other\n"},
      {"[Ports]\nCom2=a\n[Ports]\nCom1=b\n", "[Ports]\nCom2=a\n[Ports]\nCom1=/dev/x\n"},
      {"\xEF\xBB\xBF[Ports]\nCom1=b", "\xEF\xBB\xBF[Ports]\nCom1=/dev/x"},
  };
  for (const auto& row : rows) {
    const std::string after = platform::SetProfileValue(row.before, "Ports", "Com1", "/dev/x");
    EXPECT_EQ(after, row.after) << row.before;
    EXPECT_EQ(Profile::Parse(after).ReadString("Ports", "Com1", ""), "/dev/x") << row.before;
  }
}

}  // namespace
