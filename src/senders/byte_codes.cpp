#include "senders/byte_codes.h"

#include <cstdio>

#include "platform/text/int_conv.h"

std::vector<uint8_t> ByteCodesToBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  const size_t groups = text.size() / 3;
  bytes.reserve(groups);
  for (size_t k = 0; k < groups; ++k) {
    const int32_t value = platform::StrToIntDef(text.substr(3 * k, 3), 0);
    bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFFu));
  }
  return bytes;
}

std::string BytesToByteCodes(std::string_view bytes) {
  std::string codes;
  codes.reserve(3 * bytes.size());
  for (const char ch : bytes) {
    char group[4];
    std::snprintf(group, sizeof group, "%03u", static_cast<unsigned>(static_cast<uint8_t>(ch)));
    codes += group;
  }
  return codes;
}
