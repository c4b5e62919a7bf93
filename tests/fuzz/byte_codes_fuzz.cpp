// Fuzzes the byte-code sender's reading of its text: one byte per whole group of three, each
// the low 8 bits of the group's value or 0 for a group that does not convert.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text/int_conv.h"
#include "senders/byte_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<uint8_t> bytes = ByteCodesToBytes(text);
  if (bytes.size() != size / 3) std::abort();
  for (size_t k = 0; k < bytes.size(); ++k) {
    const auto value = platform::TryStrToInt(text.substr(3 * k, 3));
    const uint8_t expected = value ? static_cast<uint8_t>(*value & 0xFF) : 0;
    if (bytes[k] != expected) std::abort();
  }
  // The input as bytes, written as codes and read back.
  if (ByteCodesToBytes(BytesToByteCodes(text)) != std::vector<uint8_t>(data, data + size)) {
    std::abort();
  }
  return 0;
}
