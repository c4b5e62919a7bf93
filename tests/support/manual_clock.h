#pragma once
// ManualClock: a Clock that tests move by hand. Its tick count stands still until Set or
// Advance moves it, and every wait of the main thread passes its time at once. Its countdowns
// are kept in its own list and fire, in the order they were made, when the clock is advanced
// or messages are processed on it: a countdown is due one period after it started.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/time/clock.h"

class ManualClock final : public platform::Clock {
 public:
  explicit ManualClock(uint32_t start = 100000);
  ~ManualClock() override;
  ManualClock(const ManualClock&) = delete;
  ManualClock& operator=(const ManualClock&) = delete;

  void Set(uint32_t value);
  void Advance(uint32_t ms);  // and fires the countdowns that are then due

  uint32_t Now() const override;
  // Passes the time, handles nothing.
  void Sleep(uint32_t ms) override;
  void ProcessMessages() override;
  void ProcessMessagesFor(uint32_t ms) override;
  // Passes the whole time at once (stop is not asked) and handles nothing.
  void PauseFor(uint32_t ms, const std::function<bool()>& stop) override;
  std::unique_ptr<platform::Countdown> MakeCountdown(std::function<void()> due) override;

 private:
  class Manual;
  void FireDue();

  std::atomic<uint32_t> now_;
  uint64_t made_ = 0;
  std::vector<Manual*> countdowns_;  // live ones, in the order they were made
};
