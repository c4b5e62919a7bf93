// The parts of the serial device that only Linux has: speeds of any value through termios2,
// mark and space parity, and the query of another program's exclusive hold.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

#include "platform/devices/serial_posix_detail.h"

namespace platform::detail {

static_assert(sizeof(KernelLineRecord::cc) == NCCS);

uint32_t WithCustomSpeedFlag(uint32_t cflag) {
  return (cflag & ~CBAUD) | BOTHER;
}

uint32_t MarkSpaceParityFlag() {
  return CMSPAR;
}

bool HeldExclusively(int fd, const DeviceRequestObserver& watch) {
  if (watch) watch(TIOCGEXCL);
  int exclusive = 0;
  return RetryOnEintr([&] { return ioctl(fd, TIOCGEXCL, &exclusive); }) == 0 && exclusive != 0;
}

bool ReadCustomSpeed(int fd, uint32_t& baud) {
  termios2 record{};
  if (RetryOnEintr([&] { return ioctl(fd, TCGETS2, &record); }) < 0) return false;
  if ((record.c_cflag & CBAUD) != BOTHER) return false;
  baud = record.c_ospeed;
  return true;
}

bool ApplyWithCustomSpeed(int fd, const KernelLineRecord& record, uint32_t baud) {
  termios2 out{};
  out.c_iflag = record.iflag;
  out.c_oflag = record.oflag;
  out.c_cflag = (record.cflag & ~(CBAUD | (CBAUD << IBSHIFT))) | BOTHER | (BOTHER << IBSHIFT);
  out.c_lflag = record.lflag;
  out.c_line = record.line;
  std::memcpy(out.c_cc, record.cc, sizeof out.c_cc);
  out.c_ispeed = baud;
  out.c_ospeed = baud;
  return RetryOnEintr([&] { return ioctl(fd, TCSETS2, &out); }) == 0;
}

}  // namespace platform::detail
