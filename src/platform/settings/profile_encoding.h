#pragma once
// The encodings a settings file comes in. Most are 8-bit (CP1254 or UTF-8, with or without
// UTF-8's byte-order mark) and read as they are; Windows Notepad's "Unicode" is UTF-16 with
// its byte-order mark, read here as UTF-8 and written back in UTF-16 as it came.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class ProfileEncoding { EightBit, Utf16Le, Utf16Be };

struct ProfileText {
  ProfileEncoding encoding = ProfileEncoding::EightBit;
  std::string text;  // the 8-bit file as it is; a UTF-16 file as UTF-8, without its mark
};

// Nothing when the bytes are no text a settings file can be (NUL bytes: UTF-16 without its
// byte-order mark, UTF-32).
std::optional<ProfileText> DecodeProfile(std::string_view bytes);
// The file's bytes for text in the given encoding, the byte-order mark first for UTF-16.
std::string EncodeProfile(std::string_view text, ProfileEncoding encoding);

}  // namespace platform
