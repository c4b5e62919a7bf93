#include "platform/devices/port_drains.h"

#include <chrono>
#include <thread>

#include "platform/time/ticks.h"

namespace platform {

PortDrains::~PortDrains() {
  WaitForAll();
}

void PortDrains::WaitForAll(bool cutShort) {
  if (cutShort) cut_ = true;
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this] { return draining_.empty(); });
}

void PortDrains::DrainInBackground(uint64_t key, uint32_t boundMs, std::function<size_t()> queued,
                                   std::function<void()> giveBack) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.insert(key);
  }
  std::thread([this, key, boundMs, queued = std::move(queued), giveBack = std::move(giveBack)] {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(boundMs);
    while (queued() > 0 && Clock::now() < until && !cut_) RealSleep(10);
    giveBack();
    // Notified under the lock: once it is released this thread touches the object no more,
    // so the destructor's wait may end and free it.
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.erase(draining_.find(key));
    ended_.notify_all();
  }).detach();
}

void PortDrains::AwaitDrain(std::optional<uint64_t> key) {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait_for(lock, std::chrono::milliseconds(kMaxDrainMs + 1000),
                  [&] { return key ? draining_.count(*key) == 0 : draining_.empty(); });
}

}  // namespace platform
