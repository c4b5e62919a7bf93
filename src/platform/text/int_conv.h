#pragma once
// The system's integer conversion of text.
//
// Leading blanks are skipped; then either an optional "+" or "-" and decimal digits, or,
// without a sign, up to eight hexadecimal digits after "$", "x", "X", "0x" or "0X", taken as
// the 32-bit pattern. Nothing may follow the digits; the empty text and overflow fail.
// The failure is ConvertError with the message "'<text>' is not a valid integer value".

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

class ConvertError : public std::runtime_error {
 public:
  explicit ConvertError(std::string_view text);
};

std::optional<int32_t> TryStrToInt(std::string_view text);
int32_t StrToInt(std::string_view text);  // throws ConvertError
int32_t StrToIntDef(std::string_view text, int32_t fallback);

}  // namespace platform
