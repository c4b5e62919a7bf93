#pragma once
// QtClock: the real Clock, on CLOCK_MONOTONIC and the Qt event loop.

#include "platform/clock.h"

namespace platform {

class QtClock final : public Clock {
 public:
  uint32_t Now() const override;
  void Sleep(uint32_t ms) override;
  void ProcessMessages() override;
  void ProcessMessagesFor(uint32_t ms) override;
  void PauseFor(uint32_t ms, const std::function<bool()>& stop) override;
  std::unique_ptr<Countdown> MakeCountdown(std::function<void()> due) override;
};

}  // namespace platform
