#pragma once
// Internals shared by the POSIX serial files. Free of <termios.h>, because the file that
// speaks termios2 needs <asm/termbits.h>, which clashes with it.

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/devices/serial_device.h"

namespace platform {

// The one place where errno becomes a port error.
PortError PortErrorFromErrno(int err);

// The termios flags SetCommState would apply for this state (tests read them, since
// pseudo-terminals keep 8 data bits and no parity whatever is asked).
struct NativeLineRecord {
  uint32_t iflag, oflag, cflag, lflag;
};
NativeLineRecord BuildNativeRecord(const CommState& state);

}  // namespace platform

namespace platform::detail {

inline int Descriptor(PortHandle handle) {
  return static_cast<int>(handle.Native());
}

// The one place where a system call interrupted by a signal is tried again.
template <class Call>
auto RetryOnEintr(Call call) {
  decltype(call()) rc;
  do {
    rc = call();
  } while (rc < 0 && errno == EINTR);
  return rc;
}

// A line record in the kernel's own layout terms, speeds aside.
struct KernelLineRecord {
  uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
  uint8_t line = 0;
  uint8_t cc[19] = {};
};

// The control flags with the speed bits set to "speed held in the record's own speed
// fields" (BOTHER).
uint32_t WithCustomSpeedFlag(uint32_t cflag);
// The control flag that, with parity on, makes the parity bit a fixed mark or space
// (CMSPAR).
uint32_t MarkSpaceParityFlag();
// True when another program already holds the device exclusively (a hold root would pass).
// watch, where set, sees the request.
bool HeldExclusively(int fd, const DeviceRequestObserver& watch);
// The output speed when the port runs at a custom speed; false otherwise.
bool ReadCustomSpeed(int fd, uint32_t& baud);
// Applies the record with both speeds set to baud in one call, so a refused record leaves
// the port as it was.
bool ApplyWithCustomSpeed(int fd, const KernelLineRecord& record, uint32_t baud);

// True for the pseudo-terminal multiplexer, /dev/ptmx, under whatever name: each open of it
// makes a new pseudo-terminal, so it is never a port.
bool IsPtyMultiplexer(const struct stat& device);

// Bytes still queued in the driver for output; 0 when the query fails.
size_t OutputQueued(int fd);
// Drops what is still queued and gives the descriptor back.
void FlushAndClose(int fd);
// The lock file of an open port, which goes when the port is given back.
void RememberLockFile(int fd, const std::string& lockPath);
// Removes the lock file of the port on fd (once; later calls do nothing).
void ReleaseLockFileOf(int fd);
// Lifts the exclusive hold before the descriptor is given back and says how long what is
// queued may take to leave (DrainBoundMs); 0 when nothing is queued.
uint32_t GiveBackAndDrainBound(int fd);

}  // namespace platform::detail
