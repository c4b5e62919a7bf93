#include "platform/devices/port_drains.h"

namespace platform {

namespace detail {
uint32_t QueuedOutputBoundMs(PortHandle handle);
size_t QueuedOutput(PortHandle handle);
void DropOutputAndClose(PortHandle handle);
}  // namespace detail

void PortDrains::Close(PortHandle handle) {
  if (handle.IsNetwork()) return platform::Close(handle);  // it flushes with its own bound
  if (!handle.IsOpen()) return;
  const uint32_t bound = detail::QueuedOutputBoundMs(handle);
  if (bound == 0) {
    detail::DropOutputAndClose(handle);
    return;
  }
  // A port's drains are told apart by its handle; a COM name can be had again only once its
  // handle is closed, which the drain does last.
  DrainInBackground(
      static_cast<uint64_t>(handle.Native()), bound,
      [handle] { return detail::QueuedOutput(handle); },
      [handle] { detail::DropOutputAndClose(handle); });
}

// Windows cannot tell which drain holds a COM name: wait for all of them, within the bound.
void PortDrains::AwaitDrainOf(const std::string&) {
  AwaitDrain(std::nullopt);
}

}  // namespace platform
