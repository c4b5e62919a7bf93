#include "serial/receive_entry.h"

#include <charconv>

std::string ReceiveEntry(uint32_t millisecondsSinceStart, uint8_t value, bool hex) {
  // Formatted in place: this runs for every byte received.
  char entry[24];
  char* at = entry;
  *at++ = '<';
  at = std::to_chars(at, entry + sizeof entry, millisecondsSinceStart).ptr;
  *at++ = '>';
  *at++ = value < 32 ? static_cast<char>(0xB7) : static_cast<char>(value);
  *at++ = '(';
  if (hex) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    *at++ = 'x';
    *at++ = kDigits[value >> 4];
    *at++ = kDigits[value & 0x0F];
  } else {
    char* code = at;
    at = std::to_chars(at, at + 3, value).ptr;
    while (at < code + 3) *at++ = ' ';
  }
  *at++ = ')';
  return std::string(entry, at);
}
