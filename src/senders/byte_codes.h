#pragma once
// Byte-code text: consecutive groups of exactly three characters, each a number by the integer
// conversion whose low 8 bits are the byte; a group that does not convert is byte 0; one or
// two characters left over at the end are not sent.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::vector<uint8_t> ByteCodesToBytes(std::string_view text);
// The other way: each byte as its three-digit decimal code ("065" for 'A').
std::string BytesToByteCodes(std::string_view bytes);
