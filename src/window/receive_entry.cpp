#include "window/receive_entry.h"

std::string ReceiveEntry(uint32_t millisecondsSinceStart, uint8_t value) {
  std::string code = std::to_string(value) + "   ";
  code.resize(3);
  std::string entry = "<" + std::to_string(millisecondsSinceStart) + ">";
  entry += value < 32 ? static_cast<char>(0xB7) : static_cast<char>(value);
  entry += "(" + code + ")";
  return entry;
}
