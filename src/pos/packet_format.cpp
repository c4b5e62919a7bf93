#include "pos/packet_format.h"

int32_t PacketChecksum(std::string_view text) {
  int32_t sum = 0;
  for (const char ch : text) {
    sum = (sum + static_cast<uint8_t>(ch)) % 26;
  }
  return sum + 65;
}

std::string RepeatString(std::string_view text, int32_t count) {
  std::string result;
  if (count <= 0) return result;
  result.reserve(text.size() * static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) result.append(text);
  return result;
}

std::string PadLeftZeros(std::string_view text, int32_t width) {
  const int64_t missing = static_cast<int64_t>(width) - static_cast<int64_t>(text.size());
  if (missing <= 0) return std::string(text);
  return RepeatString("0", static_cast<int32_t>(missing)) + std::string(text);
}

std::vector<uint8_t> FramePacket(std::string_view text) {
  std::vector<uint8_t> frame;
  frame.reserve(text.size() + 2);
  frame.assign(text.begin(), text.end());
  frame.push_back(static_cast<uint8_t>(PacketChecksum(text)));
  frame.push_back(13);
  return frame;
}
