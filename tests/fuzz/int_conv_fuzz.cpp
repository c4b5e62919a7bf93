// Fuzzes the integer conversion against a plain model of its rules: both must agree on the
// value or on the failure, and a failure must carry the exact message.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text/int_conv.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<int32_t> Model(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  std::string_view rest = s.substr(i);
  size_t prefix = 0;
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    prefix = 2;
  } else if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
    prefix = 1;
  }
  if (prefix > 0) {
    std::string_view digits = rest.substr(prefix);
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = value * 16 + static_cast<uint32_t>(d);
    }
    return static_cast<int32_t>(value);
  }
  bool negative = false;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
    negative = rest[0] == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty()) return std::nullopt;
  long long value = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<int32_t> expected = Model(text);
  const std::optional<int32_t> got = platform::TryStrToInt(text);
  if (expected != got) std::abort();
  try {
    const int32_t value = platform::StrToInt(text);
    if (!expected || value != *expected) std::abort();
  } catch (const platform::ConvertError& e) {
    if (expected) std::abort();
    // what() is a C string: a NUL in the text ends the message there.
    const std::string message = "'" + text + "' is not a valid integer value";
    if (std::string(e.what()) != message.substr(0, message.find('\0'))) std::abort();
  }
  return 0;
}
