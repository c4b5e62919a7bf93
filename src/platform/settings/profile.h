#pragma once
// Reader for profile (INI) files, with the platform's profile semantics: section and key names
// match without regard to case, keys and values are trimmed, a value wholly in quotes is
// unquoted, the first match wins, lines starting with ";" are comments, and a UTF-8
// byte-order mark at the start of the file is skipped. A missing file, section or key gives
// the default. Values are returned as the file's bytes, or in UTF-8 from a UTF-16 file.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A settings file is a few lines; anything larger is not one.
constexpr size_t kMaxProfileBytes = 1024 * 1024;
// Why a file with NUL bytes is not read, in English and in Turkish.
inline constexpr const char* kUnknownEncoding =
    "it is neither 8-bit text nor UTF-16 with its byte-order mark";
inline constexpr const char* kUnknownEncodingTurkish =
    "8 bitlik metin de değil, bayt sırası işaretli UTF-16 da değil";

class Profile {
 public:
  Profile() = default;  // an empty profile: every lookup gives its default
  // A file that is there but cannot be read as one (a device, a FIFO, too large) reads as an
  // empty profile; why, when given, then says why.
  static Profile Load(const std::string& path, std::string* why = nullptr);
  static Profile Parse(std::string_view content);

  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Converted with the integer conversion; missing, empty or bad values give the fallback.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;

 private:
  struct Entry {
    std::string section, key, value;
  };
  std::vector<Entry> entries_;
};

}  // namespace platform
