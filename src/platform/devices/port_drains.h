#pragma once
// PortDrains: the devices a program gave back while output was still queued for them. Each
// drains in the background for as long as its bytes need at the line's speed, at most
// kMaxDrainMs; only what is left after that is dropped. An open of the same device waits for
// its drain instead of finding the device busy, and the end of the program waits for all.
//
// The program makes one and hands it to its ports; it outlives them. Any thread may call it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

#include "platform/devices/serial_device.h"

namespace platform {

class PortDrains {
 public:
  PortDrains() = default;
  ~PortDrains();  // waits for the drains still running
  PortDrains(const PortDrains&) = delete;
  PortDrains& operator=(const PortDrains&) = delete;

  // Gives the device back and returns at once; queued output drains in the background.
  void Close(PortHandle handle);
  // Waits while a drain of the device at path runs (bounded: kMaxDrainMs and a second).
  void AwaitDrainOf(const std::string& path);
  // Waits until every drain has ended; with cutShort, what is still queued is dropped at
  // once instead.
  void WaitForAll(bool cutShort = false);

 private:
  // Drains one device on a thread of its own: until queued() tells nothing is left, boundMs
  // have passed or WaitForAll cuts the drains short; then giveBack() closes the device. key
  // tells the device's drains apart.
  void DrainInBackground(uint64_t key, uint32_t boundMs, std::function<size_t()> queued,
                         std::function<void()> giveBack);
  // Waits while a drain of the device key runs, or any drain where there is no key; bounded
  // as AwaitDrainOf is.
  void AwaitDrain(std::optional<uint64_t> key);

  std::mutex mutex_;
  std::condition_variable ended_;
  std::unordered_multiset<uint64_t> draining_;  // the keys of the drains running
  std::atomic<bool> cut_{false};
};

}  // namespace platform
