#include "platform/settings/profile_encoding.h"

#include <cstdint>

#include "platform/text/cp1254.h"

namespace platform {
namespace {

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  const auto unit = [&](size_t i) -> uint32_t {
    const auto hi = static_cast<uint8_t>(bytes[bigEndian ? i : i + 1]);
    const auto lo = static_cast<uint8_t>(bytes[bigEndian ? i + 1 : i]);
    return (static_cast<uint32_t>(hi) << 8) | lo;
  };
  std::string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
      const uint32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a lone half
    AppendUtf8(out, code);
  }
  return out;
}

// Bytes that are not UTF-8 (CP1254 letters) go over as U+FFFD: a UTF-16 file holds Unicode.
std::string Utf8ToUtf16(std::string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  const auto put = [&](uint32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  };
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
    if ((lead >= 0x80 && lead < 0xC0) || lead >= 0xF8 || i + length > text.size()) length = 0;
    uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) length = 0;
      code = (code << 6) | (next & 0x3F);
    }
    if (length == 0 || code > 0x10FFFF) code = 0xFFFD;
    i += length == 0 ? 1 : length;
    if (code >= 0x10000) {
      put(0xD800 + ((code - 0x10000) >> 10));
      put(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      put(code);
    }
  }
  return out;
}

}  // namespace

std::optional<ProfileText> DecodeProfile(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE") {
    return ProfileText{ProfileEncoding::Utf16Le, Utf16ToUtf8(bytes.substr(2), false)};
  }
  if (bytes.size() >= 2 && bytes.substr(0, 2) == "\xFE\xFF") {
    return ProfileText{ProfileEncoding::Utf16Be, Utf16ToUtf8(bytes.substr(2), true)};
  }
  if (bytes.find('\0') != std::string_view::npos) return std::nullopt;
  return ProfileText{ProfileEncoding::EightBit, std::string(bytes)};
}

std::string EncodeProfile(std::string_view text, ProfileEncoding encoding) {
  if (encoding == ProfileEncoding::EightBit) return std::string(text);
  return Utf8ToUtf16(text, encoding == ProfileEncoding::Utf16Be);
}

}  // namespace platform
