#include "senders/omron_frame.h"

std::vector<uint8_t> OmronFrame(std::string_view command, bool withDleEnq) {
  std::vector<uint8_t> frame{kDle, kStx};
  uint8_t check = 0;
  for (char c : command) {
    const auto byte = static_cast<uint8_t>(c);
    check ^= byte;
    frame.push_back(byte);
  }
  check ^= kEtx;
  frame.insert(frame.end(), {kDle, kEtx, check});
  if (withDleEnq) frame.insert(frame.end(), {kDle, kEnq});
  return frame;
}
