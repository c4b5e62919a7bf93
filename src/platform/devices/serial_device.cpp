#include "platform/devices/serial_device.h"

#include <algorithm>

namespace platform {

uint32_t DrainBoundMs(size_t queuedBytes, uint32_t baud, uint32_t bitsPerCharacter) {
  if (queuedBytes == 0) return 0;
  constexpr uint64_t kMarginMs = 500;
  if (baud == 0) return kMaxDrainMs;
  const uint64_t needed = static_cast<uint64_t>(queuedBytes) * bitsPerCharacter * 1000 / baud;
  return static_cast<uint32_t>(std::min<uint64_t>(needed + kMarginMs, kMaxDrainMs));
}

}  // namespace platform
