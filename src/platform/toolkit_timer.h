#pragma once
// The toolkit timer the window uses: setting the enabled flag or the period restarts the
// countdown only when the value actually changes (QTimer restarts on every call). Default
// period 1000 ms; a period of 0 or less means enabled without ticks.
//
// In manual tick mode (tests) the timers run on the manual counter: a timer is due one
// period after its countdown started, and due timers fire from the main thread's event
// handling after AdvanceTicks. Main thread only.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

namespace platform {

class ToolkitTimer {
 public:
  ToolkitTimer();
  ~ToolkitTimer();
  ToolkitTimer(const ToolkitTimer&) = delete;
  ToolkitTimer& operator=(const ToolkitTimer&) = delete;

  void SetEnabled(bool enabled);
  void SetInterval(int32_t ms);
  bool Enabled() const { return enabled_; }
  int32_t Interval() const { return interval_; }
  std::function<void()> OnTimer;

  // Fires every manual-mode timer whose time has come; called after AdvanceTicks.
  static void FireDueManualTimers();

 private:
  void Restart();
  void Fire();

  bool enabled_ = false;
  int32_t interval_ = 1000;
  bool manualRunning_ = false;
  uint32_t manualStart_ = 0;
  QTimer qtimer_;
};

}  // namespace platform
