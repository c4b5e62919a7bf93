#include "platform/time/toolkit_timer.h"

namespace platform {

ToolkitTimer::ToolkitTimer(Clock& clock) : countdown_(clock.MakeCountdown([this] { Fire(); })) {}

void ToolkitTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void ToolkitTimer::SetInterval(int32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

void ToolkitTimer::Restart() {
  countdown_->Stop();
  if (enabled_ && interval_ > 0) countdown_->Start(interval_);
}

// The handler runs from a copy: it may destroy this timer (and with it OnTimer) while it runs.
void ToolkitTimer::Fire() {
  const std::function<void()> handler = OnTimer;
  if (handler) handler();
}

}  // namespace platform
