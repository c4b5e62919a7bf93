#pragma once
// Code page 1254 (Turkish), the system's 8-bit text.
//
// Text inside the system is CP1254 bytes in std::string; it becomes Unicode only at the
// widget boundary. The seven undefined bytes map to the C1 controls of the same value so every
// byte round-trips; characters outside the code page become "?".

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

char32_t Cp1254ToUnicode(uint8_t byte);
uint8_t UnicodeToCp1254(char32_t cp);  // "?" for characters outside the code page
std::string Cp1254ToUtf8(std::string_view cp1254);
std::string Utf8ToCp1254(std::string_view utf8);
// Appends the UTF-8 form of one character (up to U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// Shorthand for writing the system's texts in UTF-8 source: Cp1254("İşlem No:").
inline std::string Cp1254(std::string_view utf8) {
  return Utf8ToCp1254(utf8);
}

uint8_t UpperCase1254(uint8_t byte);
std::string UpperCase1254(std::string_view cp1254);

}  // namespace platform
