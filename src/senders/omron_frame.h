#pragma once
// The Omron command frame: DLE STX, the command text unchanged (no DLE doubling), DLE ETX, the
// XOR of the text bytes and ETX, then DLE ENQ when asked for.

#include <cstdint>
#include <string_view>
#include <vector>

constexpr uint8_t kDle = 0x10;
constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEnq = 0x05;

std::vector<uint8_t> OmronFrame(std::string_view command, bool withDleEnq);
