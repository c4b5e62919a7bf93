#pragma once
// Writes one value into a profile (INI) file and leaves every other byte as it was: lines,
// comments, blank lines, a byte-order mark and the file's line endings. The key is looked up
// as the reader looks it up (the first match, names without regard to case).

#include <string>
#include <string_view>

namespace platform {

// The content with key=value set in section: the first matching key line gets the new value;
// otherwise the key goes after the section's last entry, or a new section at the end.
std::string SetProfileValue(std::string_view content, std::string_view section,
                            std::string_view key, std::string_view value);

// Sets the value in the file through a temporary file beside it that replaces it in one step,
// so a crash never leaves half a file. A missing file is made, and its folder with it; it
// starts as a copy of startFrom when that is given and there. Throws std::runtime_error with a
// message for the window's user (Turkish, UTF-8) when it cannot; the file is then unchanged.
void WriteProfileValue(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value, const std::string& startFrom = {});

}  // namespace platform
