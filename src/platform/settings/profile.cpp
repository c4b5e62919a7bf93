#include "platform/settings/profile.h"

#include "platform/files/file_io.h"
#include "platform/settings/profile_encoding.h"
#include "platform/text/int_conv.h"

namespace platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

Profile Profile::Load(const std::string& path, std::string* why) {
  const SmallFile file = ReadSmallFile(path, kMaxProfileBytes, Language::English);
  if (why != nullptr) *why = file.status == SmallFile::Status::Failed ? file.reason : "";
  if (file.status != SmallFile::Status::Read) return Profile();
  const std::optional<ProfileText> decoded = DecodeProfile(file.content);
  if (!decoded) {
    if (why != nullptr) *why = kUnknownEncoding;
    return Profile();
  }
  return Parse(decoded->text);
}

Profile Profile::Parse(std::string_view content) {
  Profile profile;
  // Windows editors often start a UTF-8 file with a byte-order mark; it is no part of the
  // first line.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (content.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    content.remove_prefix(kByteOrderMark.size());
  }
  std::string section;
  bool inSection = false;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close == std::string_view::npos) continue;
      section = std::string(Trim(line.substr(1, close - 1)));
      inSection = true;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, eq));
    if (key.empty()) continue;
    const std::string_view value = Unquote(Trim(line.substr(eq + 1)));
    profile.entries_.push_back(Entry{section, std::string(key), std::string(value)});
  }
  return profile;
}

std::optional<std::string> Profile::Find(std::string_view section, std::string_view key) const {
  for (const Entry& entry : entries_) {
    if (SameName(entry.section, section) && SameName(entry.key, key)) return entry.value;
  }
  return std::nullopt;
}

std::string Profile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> value = Find(section, key);
  if (!value) return std::string(fallback);
  return std::move(*value);
}

int32_t Profile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t fallback) const {
  const std::optional<std::string> value = Find(section, key);
  if (!value) return fallback;
  return TryStrToInt(Trim(*value)).value_or(fallback);
}

}  // namespace platform
