#include "platform/text/int_conv.h"

namespace platform {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string ConvertMessage(std::string_view text) {
  std::string message = "'";
  message.append(text);
  message += "' is not a valid integer value";
  return message;
}

}  // namespace

ConvertError::ConvertError(std::string_view text) : std::runtime_error(ConvertMessage(text)) {}

std::optional<int32_t> TryStrToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::string_view rest = text.substr(i);
  if (rest.empty()) return std::nullopt;

  size_t digitsAt = 0;
  if (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X') {
    digitsAt = 1;
  } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
    digitsAt = 2;
  }
  if (digitsAt > 0) {
    const std::string_view digits = rest.substr(digitsAt);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = (value << 4) | static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
  }

  bool negative = false;
  size_t p = 0;
  if (rest[0] == '+' || rest[0] == '-') {
    negative = rest[0] == '-';
    p = 1;
  }
  if (p >= rest.size()) return std::nullopt;
  // Accumulated as a magnitude; the limit is 2^31 for negative values, 2^31 - 1 otherwise.
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  uint64_t magnitude = 0;
  for (; p < rest.size(); ++p) {
    const char c = rest[p];
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + static_cast<uint64_t>(c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  if (negative) return static_cast<int32_t>(-static_cast<int64_t>(magnitude));
  return static_cast<int32_t>(magnitude);
}

int32_t StrToInt(std::string_view text) {
  const std::optional<int32_t> value = TryStrToInt(text);
  if (!value) throw ConvertError(text);
  return *value;
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  return TryStrToInt(text).value_or(fallback);
}

}  // namespace platform
