#include "platform/time/ticks.h"

namespace platform {
namespace {

class Monotonic final : public TickSource {
 public:
  uint32_t Now() const override { return GetTickCount(); }
};

}  // namespace

const TickSource& MonotonicTicks() {
  static const Monotonic ticks;
  return ticks;
}

}  // namespace platform
