#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/devices/port_drains.h"
#include "platform/devices/serial_posix_detail.h"
#include "platform/time/ticks.h"

namespace platform {

namespace {

uint64_t DeviceNumber(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 ? st.st_rdev : 0;
}

}  // namespace

PortDrains::~PortDrains() {
  WaitForAll();
}

void PortDrains::Close(PortHandle handle) {
  if (!handle.IsOpen()) return;
  const int fd = detail::Descriptor(handle);
  const uint32_t bound = detail::GiveBackAndDrainBound(fd);
  if (bound == 0) {
    // Nothing waits in the driver. A pseudo-terminal reports nothing here even while its peer
    // has not read what was sent: a flush would throw that away, so there is none.
    close(fd);
    return;
  }
  const uint64_t device = DeviceNumber(fd);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.insert(device);
  }
  std::thread([this, fd, device, bound] {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(bound);
    while (detail::OutputQueued(fd) > 0 && Clock::now() < until && !cut_) RealSleep(10);
    detail::FlushAndClose(fd);
    // Notified under the lock: once it is released this thread touches the object no more,
    // so the destructor's wait may end and free it.
    std::lock_guard<std::mutex> lock(mutex_);
    draining_.erase(draining_.find(device));
    ended_.notify_all();
  }).detach();
}

void PortDrains::AwaitDrainOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return;
  const uint64_t device = st.st_rdev;
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait_for(lock, std::chrono::milliseconds(kMaxDrainMs + 1000),
                  [&] { return draining_.count(device) == 0; });
}

void PortDrains::WaitForAll(bool cutShort) {
  if (cutShort) cut_ = true;
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this] { return draining_.empty(); });
}

}  // namespace platform
