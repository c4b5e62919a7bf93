#include <chrono>
#include <thread>

#include "platform/devices/port_drains.h"
#include "platform/time/ticks.h"

namespace platform {

namespace detail {
uint32_t QueuedOutputBoundMs(PortHandle handle);
size_t QueuedOutput(PortHandle handle);
void DropOutputAndClose(PortHandle handle);
}  // namespace detail

namespace {

// A port's drains are told apart by its handle; a COM name can be had again only once its
// handle is closed, which the drain does last.
uint64_t Key(PortHandle handle) {
  return static_cast<uint64_t>(handle.Native());
}

}  // namespace

PortDrains::~PortDrains() {
  WaitForAll();
}

void PortDrains::Close(PortHandle handle) {
  if (!handle.IsOpen()) return;
  const uint32_t bound = detail::QueuedOutputBoundMs(handle);
  if (bound == 0) {
    detail::DropOutputAndClose(handle);
    return;
  }
  const uint64_t key = Key(handle);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.insert(key);
  }
  std::thread([this, handle, key, bound] {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(bound);
    while (detail::QueuedOutput(handle) > 0 && Clock::now() < until && !cut_) RealSleep(10);
    detail::DropOutputAndClose(handle);
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.erase(draining_.find(key));
    ended_.notify_all();
  }).detach();
}

// Windows cannot tell which drain holds a COM name: wait for all of them, within the bound.
void PortDrains::AwaitDrainOf(const std::string&) {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait_for(lock, std::chrono::milliseconds(kMaxDrainMs + 1000),
                  [&] { return draining_.empty(); });
}

void PortDrains::WaitForAll(bool cutShort) {
  if (cutShort) cut_ = true;
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this] { return draining_.empty(); });
}

}  // namespace platform
