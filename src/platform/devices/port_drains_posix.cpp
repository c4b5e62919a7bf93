#include <sys/stat.h>
#include <unistd.h>

#include "platform/devices/port_drains.h"
#include "platform/devices/serial_posix_detail.h"

namespace platform {

namespace {

uint64_t DeviceNumber(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 ? st.st_rdev : 0;
}

}  // namespace

void PortDrains::Close(PortHandle handle) {
  if (handle.IsNetwork()) return platform::Close(handle);  // it flushes with its own bound
  if (!handle.IsOpen()) return;
  const int fd = detail::Descriptor(handle);
  const uint32_t bound = detail::GiveBackAndDrainBound(fd);
  if (bound == 0) {
    // Nothing waits in the driver. A pseudo-terminal reports nothing here even while its peer
    // has not read what was sent: a flush would throw that away, so there is none.
    close(fd);
    return;
  }
  // A device's drains are told apart by its device number, which every path to it shares.
  DrainInBackground(
      DeviceNumber(fd), bound, [fd] { return detail::OutputQueued(fd); },
      [fd] { detail::FlushAndClose(fd); });
}

void PortDrains::AwaitDrainOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return;
  AwaitDrain(st.st_rdev);
}

}  // namespace platform
