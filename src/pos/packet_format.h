#pragma once
// The framed text packets of the cash-register / POS dialogue: packet text, one check letter,
// carriage return. Texts are CP1254 bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Sum of the bytes modulo 26, plus 65: always a capital letter A to Z.
int32_t PacketChecksum(std::string_view text);
std::string RepeatString(std::string_view text, int32_t count);
std::string PadLeftZeros(std::string_view text, int32_t width);
// Text, check letter, 13.
std::vector<uint8_t> FramePacket(std::string_view text);
