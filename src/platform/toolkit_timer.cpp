#include "platform/toolkit_timer.h"

#include <algorithm>
#include <vector>

#include "platform/ticks.h"

namespace platform {
namespace {

// Every live timer, in the order of construction; main thread only.
std::vector<ToolkitTimer*>& Registry() {
  static std::vector<ToolkitTimer*> timers;
  return timers;
}

bool Registered(const ToolkitTimer* timer) {
  const std::vector<ToolkitTimer*>& timers = Registry();
  return std::find(timers.begin(), timers.end(), timer) != timers.end();
}

}  // namespace

ToolkitTimer::ToolkitTimer() {
  qtimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&qtimer_, &QTimer::timeout, [this] { Fire(); });
  Registry().push_back(this);
}

ToolkitTimer::~ToolkitTimer() {
  std::vector<ToolkitTimer*>& timers = Registry();
  timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

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
  qtimer_.stop();
  manualRunning_ = false;
  if (!enabled_ || interval_ <= 0) return;
  if (ManualTicks()) {
    manualRunning_ = true;
    manualStart_ = GetTickCount();
  } else {
    qtimer_.start(interval_);
  }
}

// The handler runs from a copy: it may destroy this timer (and with it OnTimer) while it runs.
void ToolkitTimer::Fire() {
  const std::function<void()> handler = OnTimer;
  if (handler) handler();
}

void ToolkitTimer::FireDueManualTimers() {
  const std::vector<ToolkitTimer*> snapshot = Registry();
  for (ToolkitTimer* timer : snapshot) {
    if (!Registered(timer)) continue;  // destroyed by an earlier handler
    if (!timer->manualRunning_ || !timer->enabled_ || timer->interval_ <= 0) continue;
    const uint32_t now = GetTickCount();
    if (now - timer->manualStart_ < static_cast<uint32_t>(timer->interval_)) continue;
    timer->manualStart_ = now;
    timer->Fire();
  }
}

}  // namespace platform
