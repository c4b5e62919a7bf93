#pragma once
// The toolkit timer the window uses: setting the enabled flag or the period restarts the
// countdown only when the value actually changes (QTimer restarts on every call). Default
// period 1000 ms; a period of 0 or less means enabled without ticks. It counts on the clock it
// is made with. Main thread only.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/time/clock.h"

namespace platform {

class ToolkitTimer {
 public:
  explicit ToolkitTimer(Clock& clock);
  ToolkitTimer(const ToolkitTimer&) = delete;
  ToolkitTimer& operator=(const ToolkitTimer&) = delete;

  void SetEnabled(bool enabled);
  void SetInterval(int32_t ms);
  bool Enabled() const { return enabled_; }
  int32_t Interval() const { return interval_; }
  std::function<void()> OnTimer;

 private:
  void Restart();
  void Fire();

  bool enabled_ = false;
  int32_t interval_ = 1000;
  std::unique_ptr<Countdown> countdown_;
};

}  // namespace platform
