#include "platform/settings/profile_writer.h"

#include <stdexcept>
#include <vector>

#include "platform/files/file_io.h"
#include "platform/settings/profile.h"
#include "platform/settings/profile_encoding.h"

namespace platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct Line {
  size_t begin, end;  // the line's text, without its line break
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  size_t pos = content.substr(0, 3) == kByteOrderMark ? 3 : 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    size_t textEnd = end;
    if (textEnd > pos && content[textEnd - 1] == '\r') --textEnd;
    lines.push_back({pos, textEnd});
    pos = end + 1;
  }
  return lines;
}

[[noreturn]] void Fail(const std::string& path, const std::string& what,
                       const std::string& reason) {
  throw std::runtime_error("\"" + path + "\" kaydedilemedi, " + what + ": " + reason +
                           ". Hiçbir şey değiştirilmedi.");
}

}  // namespace

std::string SetProfileValue(std::string_view content, std::string_view section,
                            std::string_view key, std::string_view value) {
  const std::string_view eol = content.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const std::string entry = std::string(key) + "=" + std::string(value);
  int matchingSections = 0;  // sections with the name seen so far, the current one included
  bool inSection = false;
  size_t insertAt = std::string_view::npos;  // after the heading or last entry of the first one
  for (const Line& line : SplitLines(content)) {
    const std::string_view text = Trim(content.substr(line.begin, line.end - line.begin));
    if (text.empty() || text.front() == ';') continue;
    if (text.front() == '[') {
      const size_t close = text.rfind(']');
      if (close == std::string_view::npos) continue;
      inSection = SameName(Trim(text.substr(1, close - 1)), section);
      if (inSection && ++matchingSections == 1) insertAt = line.end;
      continue;
    }
    const size_t eq = text.find('=');
    if (!inSection || eq == std::string_view::npos) continue;
    if (SameName(Trim(text.substr(0, eq)), key)) {
      // Keep the key as written and the blanks after "=", replace the rest of the line.
      size_t from = content.find('=', line.begin) + 1;
      while (from < line.end && (content[from] == ' ' || content[from] == '\t')) ++from;
      return std::string(content.substr(0, from)) + std::string(value) +
             std::string(content.substr(line.end));
    }
    if (matchingSections == 1) insertAt = line.end;
  }
  if (insertAt != std::string_view::npos) {
    return std::string(content.substr(0, insertAt)) + std::string(eol) + entry +
           std::string(content.substr(insertAt));
  }
  std::string result(content);
  if (!result.empty() && result.back() != '\n') result += eol;
  return result + "[" + std::string(section) + "]" + std::string(eol) + entry + std::string(eol);
}

void WriteProfileValue(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value, const std::string& startFrom) {
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    throw std::runtime_error("\"" + path + "\" kaydedilemedi: değer satır sonu içeremez.");
  }
  // Write through a link to the file it names, so the link stays a link.
  const std::string target = ResolveLinks(path);
  SmallFile existing = ReadSmallFile(target, kMaxProfileBytes, Language::Turkish);
  if (existing.status == SmallFile::Status::Failed) Fail(path, "okunamıyor", existing.reason);
  if (existing.status == SmallFile::Status::Missing) {
    if (!startFrom.empty()) {
      existing = ReadSmallFile(startFrom, kMaxProfileBytes, Language::Turkish);
      if (existing.status == SmallFile::Status::Failed) {
        Fail(path, "\"" + startFrom + "\" okunamıyor", existing.reason);
      }
    }
    const size_t slash = target.rfind('/');
    std::string reason;
    if (slash != std::string::npos &&
        !MakeFolders(target.substr(0, slash + 1), reason, Language::Turkish)) {
      Fail(path, "klasörü oluşturulamıyor", reason);
    }
  }
  // A UTF-16 file stays UTF-16: the value goes into its text, not beside it as 8-bit bytes.
  const std::optional<ProfileText> decoded = DecodeProfile(existing.content);
  if (!decoded) Fail(path, "okunamıyor", kUnknownEncodingTurkish);
  const std::string updated =
      EncodeProfile(SetProfileValue(decoded->text, section, key, value), decoded->encoding);
  std::string step, reason;
  if (!ReplaceFileContent(target, updated, step, reason, Language::Turkish)) {
    Fail(path, step, reason);
  }
}

}  // namespace platform
