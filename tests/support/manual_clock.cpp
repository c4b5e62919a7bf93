#include "manual_clock.h"

#include <QCoreApplication>
#include <algorithm>

class ManualClock::Manual final : public platform::Countdown {
 public:
  Manual(ManualClock& clock, std::function<void()> due)
      : clock_(clock), due_(std::move(due)), serial_(++clock.made_) {
    clock_.countdowns_.push_back(this);
  }
  ~Manual() override { std::erase(clock_.countdowns_, this); }

  void Start(int32_t ms) override {
    period_ = static_cast<uint32_t>(ms);
    started_ = clock_.Now();
    running_ = true;
  }
  void Stop() override { running_ = false; }

  uint64_t Serial() const { return serial_; }
  // Fires when a period has passed; the next period starts now.
  void FireIfDue() {
    if (!running_) return;
    const uint32_t now = clock_.Now();
    if (now - started_ < period_) return;
    started_ = now;
    const std::function<void()> due = due_;  // the handler may destroy this countdown
    due();
  }

 private:
  ManualClock& clock_;
  std::function<void()> due_;
  const uint64_t serial_;
  bool running_ = false;
  uint32_t period_ = 0;
  uint32_t started_ = 0;
};

ManualClock::ManualClock(uint32_t start) : now_(start) {}

ManualClock::~ManualClock() = default;

void ManualClock::Set(uint32_t value) {
  now_.store(value, std::memory_order_release);
}

void ManualClock::Advance(uint32_t ms) {
  now_.fetch_add(ms, std::memory_order_acq_rel);
  FireDue();
}

uint32_t ManualClock::Now() const {
  return now_.load(std::memory_order_acquire);
}

void ManualClock::Sleep(uint32_t ms) {
  now_.fetch_add(ms, std::memory_order_acq_rel);
}

void ManualClock::ProcessMessages() {
  QCoreApplication::processEvents();
  FireDue();
}

void ManualClock::ProcessMessagesFor(uint32_t ms) {
  Advance(ms);
  QCoreApplication::processEvents();
}

void ManualClock::PauseFor(uint32_t ms, const std::function<bool()>&) {
  Sleep(ms);
}

std::unique_ptr<platform::Countdown> ManualClock::MakeCountdown(std::function<void()> due) {
  return std::make_unique<Manual>(*this, std::move(due));
}

// A handler may destroy countdowns (its own among them) or make new ones: each one of the
// list as it was is looked up again by its serial before it is asked.
void ManualClock::FireDue() {
  std::vector<uint64_t> serials;
  for (const Manual* c : countdowns_) serials.push_back(c->Serial());
  for (const uint64_t serial : serials) {
    const auto it = std::find_if(countdowns_.begin(), countdowns_.end(),
                                 [serial](const Manual* c) { return c->Serial() == serial; });
    if (it != countdowns_.end()) (*it)->FireIfDue();
  }
}
