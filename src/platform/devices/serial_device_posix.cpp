#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "platform/devices/network_port.h"
#include "platform/devices/port_holders.h"
#include "platform/devices/serial_device.h"
#include "platform/devices/serial_posix_detail.h"
#include "platform/time/ticks.h"

namespace platform {
namespace {

using detail::RetryOnEintr;
using Clock = std::chrono::steady_clock;

static_assert(sizeof(termios) <= sizeof(CommState::Native));

constexpr auto kStallLimit = std::chrono::milliseconds(2000);

bool SameCharDevice(const struct stat& a, const struct stat& b) {
  return S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode) && a.st_rdev == b.st_rdev;
}

// Devices that open as terminals but are none to take as a port: the multiplexer (each open
// makes a new pseudo-terminal) and the terminal this program runs on, which would be left in
// raw mode.
PortError RefusedBeforeOpening(const std::string& path) {
  struct stat target {};
  if (stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return PortError::None;
  if (detail::IsPtyMultiplexer(target)) return PortError::NotSerial;
  struct stat other {};
  if (stat("/dev/tty", &other) == 0 && SameCharDevice(target, other)) return PortError::OwnTerminal;
  for (int fd = 0; fd <= 2; ++fd) {
    if (isatty(fd) && fstat(fd, &other) == 0 && SameCharDevice(target, other)) {
      return PortError::OwnTerminal;
    }
  }
  const int controlling = open("/dev/tty", O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (controlling >= 0) {
    const bool same = fstat(controlling, &other) == 0 && SameCharDevice(target, other);
    close(controlling);
    if (same) return PortError::OwnTerminal;
  }
  return PortError::None;
}

struct SpeedEntry {
  speed_t code;
  uint32_t baud;
};

constexpr SpeedEntry kSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

bool SpeedCode(uint32_t baud, speed_t& code) {
  for (const SpeedEntry& e : kSpeeds) {
    if (e.baud == baud) {
      code = e.code;
      return true;
    }
  }
  return false;
}

uint32_t SpeedBaud(speed_t code) {
  for (const SpeedEntry& e : kSpeeds) {
    if (e.code == code) return e.baud;
  }
  return 0;
}

constexpr tcflag_t kRawInputOff = IGNBRK | BRKINT | PARMRK | INPCK | ISTRIP | INLCR | IGNCR |
                                  ICRNL | IUCLC | IXON | IXOFF | IXANY;
constexpr tcflag_t kRawLocalOff =
    ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ISIG | IEXTEN;

// True when applying the binary flags would change nothing.
bool IsRaw(const termios& t) {
  return (t.c_iflag & kRawInputOff) == 0 && (t.c_lflag & kRawLocalOff) == 0 &&
         (t.c_oflag & OPOST) == 0 && (t.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD) &&
         t.c_cc[VMIN] == 0 && t.c_cc[VTIME] == 0;
}

// The record SetCommState applies: the port's own record with the state's fields laid over
// it. custom is set when the speed has no Bxxx constant.
bool BuildRecord(const CommState& state, termios& t, bool& custom) {
  if (state.ByteSize < 5 || state.ByteSize > 8 || state.BaudRate == 0) return false;
  std::memcpy(&t, state.Native, sizeof t);

  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag = (t.c_cflag & ~CSIZE) | kSizes[state.ByteSize - 5];

  const tcflag_t markSpace = detail::MarkSpaceParityFlag();
  t.c_cflag &= ~(PARENB | PARODD | markSpace);
  switch (state.ParityMode) {
    case Parity::None:
      break;
    case Parity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Even:
      t.c_cflag |= PARENB;
      break;
    case Parity::Mark:
      t.c_cflag |= PARENB | markSpace | PARODD;
      break;
    case Parity::Space:
      t.c_cflag |= PARENB | markSpace;
      break;
  }

  if (state.Stop == StopBits::Two) {
    t.c_cflag |= CSTOPB;
  } else {
    t.c_cflag &= ~CSTOPB;
  }

  if (state.Binary) {
    t.c_iflag &= ~kRawInputOff;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~kRawLocalOff;
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
  }

  constexpr tcflag_t kSoftware = IXON | IXOFF | IXANY;
  switch (state.Flow) {
    case FlowControl::Unchanged:
      break;
    case FlowControl::None:
      t.c_cflag &= ~CRTSCTS;
      t.c_iflag &= ~kSoftware;
      break;
    case FlowControl::Hardware:
      t.c_cflag |= CRTSCTS;
      t.c_iflag &= ~kSoftware;
      break;
    case FlowControl::XonXoff:
      t.c_cflag &= ~CRTSCTS;
      t.c_iflag = (t.c_iflag & ~IXANY) | IXON | IXOFF;
      t.c_cc[VSTART] = 0x11;
      t.c_cc[VSTOP] = 0x13;
      break;
  }

  speed_t code;
  custom = !SpeedCode(state.BaudRate, code);
  if (custom) {
    t.c_cflag = detail::WithCustomSpeedFlag(t.c_cflag);
  } else {
    cfsetospeed(&t, code);
    cfsetispeed(&t, code);
  }
  return true;
}

detail::KernelLineRecord ToKernelRecord(const termios& t) {
  detail::KernelLineRecord k;
  k.iflag = t.c_iflag;
  k.oflag = t.c_oflag;
  k.cflag = t.c_cflag;
  k.lflag = t.c_lflag;
  k.line = t.c_line;
  std::memcpy(k.cc, t.c_cc, sizeof k.cc);
  return k;
}

// Every ioctl of this file goes through here, retried on EINTR; watch, where given,
// sees its request first.
template <class Arg>
int Ioctl(int fd, unsigned long request, Arg arg, const DeviceRequestObserver* watch = nullptr) {
  if (watch != nullptr && *watch) (*watch)(request);
  return RetryOnEintr([&] { return ioctl(fd, request, arg); });
}

// The line's bits per character: start, data, parity and stop bits.
uint32_t BitsPerCharacter(const termios& t) {
  static constexpr uint32_t kData[] = {5, 6, 7, 8};
  const uint32_t data = kData[(t.c_cflag & CSIZE) == CS5   ? 0
                              : (t.c_cflag & CSIZE) == CS6 ? 1
                              : (t.c_cflag & CSIZE) == CS7 ? 2
                                                           : 3];
  return 1 + data + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
}

int RemainingMs(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

namespace detail {

bool IsPtyMultiplexer(const struct stat& device) {
  struct stat multiplexer {};
  return stat("/dev/ptmx", &multiplexer) == 0 && SameCharDevice(device, multiplexer);
}

size_t OutputQueued(int fd) {
  int queued = 0;
  if (Ioctl(fd, TIOCOUTQ, &queued) != 0 || queued < 0) return 0;
  return static_cast<size_t>(queued);
}

void FlushAndClose(int fd) {
  ReleaseLockFileOf(fd);
  RetryOnEintr([&] { return tcflush(fd, TCOFLUSH); });
  close(fd);  // never retried: the descriptor is gone even when close reports EINTR
}

namespace {
std::mutex lockedPathsMutex;
std::map<int, std::string> lockedPaths;  // the open ports' lock files, by descriptor
}  // namespace

void RememberLockFile(int fd, const std::string& lockPath) {
  if (lockPath.empty()) return;
  std::lock_guard lock(lockedPathsMutex);
  lockedPaths[fd] = lockPath;
}

void ReleaseLockFileOf(int fd) {
  std::string path;
  {
    std::lock_guard lock(lockedPathsMutex);
    const auto found = lockedPaths.find(fd);
    if (found == lockedPaths.end()) return;
    path = std::move(found->second);
    lockedPaths.erase(found);
  }
  ReleaseLockFile(path);
}

uint32_t GiveBackAndDrainBound(int fd) {
  ReleaseLockFileOf(fd);
  Ioctl(fd, TIOCNXCL, 0);
  const size_t queued = OutputQueued(fd);
  termios t{};
  uint32_t baud = 0;
  if (queued > 0 && RetryOnEintr([&] { return tcgetattr(fd, &t); }) == 0 &&
      !ReadCustomSpeed(fd, baud)) {
    baud = SpeedBaud(cfgetospeed(&t));
  }
  return DrainBoundMs(queued, baud, BitsPerCharacter(t));
}

}  // namespace detail

PortError PortErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return PortError::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:  // a serial node with no UART behind it
      return PortError::NoSuchDevice;
    case EACCES:
    case EPERM:
    case EROFS:
      return PortError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return PortError::Busy;
    case ENOTTY:
    case EISDIR:
    case ENOTDIR:
    case EINVAL:
      return PortError::NotSerial;
    case ELOOP:
      return PortError::LinkLoop;
    default:
      return PortError::Other;
  }
}

PortHandle OpenExclusive(const std::string& path, const DeviceRequestObserver& watch) {
  if (IsNetworkDevice(path)) return OpenNetworkPort(path);
  if (const PortError refused = RefusedBeforeOpening(path); refused != PortError::None) {
    return PortHandle::Invalid(refused);
  }
  const int fd =
      RetryOnEintr([&] { return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (fd < 0) {
    const int error = errno;
    // Refused for an exclusive flag whose owner's lock file names a process that has ended.
    if (error == EBUSY && StaleLockFileHolder(path) != 0) {
      return PortHandle::Invalid(PortError::StaleHold);
    }
    return PortHandle::Invalid(PortErrorFromErrno(error));
  }
  const auto refuse = [fd](PortError error) {
    close(fd);
    return PortHandle::Invalid(error);
  };
  termios t{};
  if (RetryOnEintr([&] { return tcgetattr(fd, &t); }) != 0) {
    return refuse(PortErrorFromErrno(errno));
  }
  if (LockFileHolder(path) != 0) return refuse(PortError::Busy);
  if (RetryOnEintr([&] { return flock(fd, LOCK_EX | LOCK_NB); }) != 0) {
    return refuse(PortErrorFromErrno(errno));
  }
  // Root passes another program's exclusive hold, so ask for it before taking the port. A
  // hold that no lock backs and whose owner's lock file names an ended process was left by
  // a program that was killed (a terminal that socat keeps open keeps its flag): taken over.
  if (detail::HeldExclusively(fd, watch) && StaleLockFileHolder(path) == 0) {
    return refuse(PortError::Busy);
  }
  if (Ioctl(fd, TIOCEXCL, 0, &watch) != 0) return refuse(PortErrorFromErrno(errno));
  detail::RememberLockFile(fd, TakeLockFile(path));
  return PortHandle::FromNative(fd);
}

void Close(PortHandle handle) {
  if (handle.IsNetwork()) return CloseNetworkPort(handle);
  if (!handle.IsOpen()) return;
  const int fd = detail::Descriptor(handle);
  if (detail::GiveBackAndDrainBound(fd) == 0) {
    close(fd);  // as in PortDrains::Close: a pseudo-terminal's unread output stays
  } else {
    detail::FlushAndClose(fd);
  }
}

void CloseGone(PortHandle handle) {
  if (handle.IsNetwork()) return CloseNetworkPort(handle);
  if (!handle.IsOpen()) return;
  detail::FlushAndClose(detail::Descriptor(handle));
}

bool DeviceNodePresent(const std::string& path) {
  if (IsNetworkDevice(path)) return NetworkPresent(path);
  struct stat st {};
  return stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

bool GetCommState(PortHandle handle, CommState& state) {
  if (handle.IsNetwork()) return NetworkGetCommState(handle, state);
  if (!handle.IsOpen()) return false;
  const int fd = detail::Descriptor(handle);
  termios t{};
  if (RetryOnEintr([&] { return tcgetattr(fd, &t); }) != 0) return false;
  std::memcpy(state.Native, &t, sizeof t);

  uint32_t baud = 0;
  state.BaudRate = detail::ReadCustomSpeed(fd, baud) ? baud : SpeedBaud(cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5:
      state.ByteSize = 5;
      break;
    case CS6:
      state.ByteSize = 6;
      break;
    case CS7:
      state.ByteSize = 7;
      break;
    default:
      state.ByteSize = 8;
      break;
  }
  if ((t.c_cflag & PARENB) == 0) {
    state.ParityMode = Parity::None;
  } else if ((t.c_cflag & detail::MarkSpaceParityFlag()) != 0) {
    state.ParityMode = (t.c_cflag & PARODD) != 0 ? Parity::Mark : Parity::Space;
  } else {
    state.ParityMode = (t.c_cflag & PARODD) != 0 ? Parity::Odd : Parity::Even;
  }
  state.Stop = (t.c_cflag & CSTOPB) != 0 ? StopBits::Two : StopBits::One;
  state.Binary = IsRaw(t);
  return true;
}

bool SetCommState(PortHandle handle, const CommState& state) {
  if (handle.IsNetwork()) return NetworkSetCommState(handle, state);
  if (!handle.IsOpen()) return false;
  const int fd = detail::Descriptor(handle);
  termios t{};
  bool custom = false;
  if (!BuildRecord(state, t, custom)) return false;
  if (custom) return detail::ApplyWithCustomSpeed(fd, ToKernelRecord(t), state.BaudRate);
  return RetryOnEintr([&] { return tcsetattr(fd, TCSANOW, &t); }) == 0;
}

NativeLineRecord BuildNativeRecord(const CommState& state) {
  termios t{};
  bool custom = false;
  if (!BuildRecord(state, t, custom)) std::memcpy(&t, state.Native, sizeof t);
  return NativeLineRecord{t.c_iflag, t.c_oflag, t.c_cflag, t.c_lflag};
}

FlowControl FlowControlInForce(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkFlowControl(handle);
  termios t{};
  if (!handle.IsOpen() ||
      RetryOnEintr([&] { return tcgetattr(detail::Descriptor(handle), &t); }) != 0) {
    return FlowControl::None;
  }
  if ((t.c_cflag & CRTSCTS) != 0) return FlowControl::Hardware;
  if ((t.c_iflag & (IXON | IXOFF)) != 0) return FlowControl::XonXoff;
  return FlowControl::None;
}

ModemLines GetModemLines(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkModemLines(handle);
  ModemLines lines;
  if (!handle.IsOpen()) return lines;
  int bits = 0;
  if (Ioctl(detail::Descriptor(handle), TIOCMGET, &bits) != 0) {
    const int err = errno;
    lines.Code = static_cast<unsigned long>(err);
    lines.Why = err == ENOTTY || err == EINVAL                ? LinesUnknown::NoLines
                : err == EIO || err == ENXIO || err == ENODEV ? LinesUnknown::Gone
                                                              : LinesUnknown::Failed;
    return lines;
  }
  lines.Known = lines.OutputsKnown = true;
  lines.Why = LinesUnknown::None;
  lines.Cts = (bits & TIOCM_CTS) != 0;
  lines.Dsr = (bits & TIOCM_DSR) != 0;
  lines.Dcd = (bits & TIOCM_CAR) != 0;
  lines.Ri = (bits & TIOCM_RNG) != 0;
  lines.Dtr = (bits & TIOCM_DTR) != 0;
  lines.Rts = (bits & TIOCM_RTS) != 0;
  return lines;
}

bool SetModemOutput(PortHandle handle, ModemOutput line, bool on) {
  if (handle.IsNetwork()) return NetworkSetModemOutput(handle, line, on);
  if (!handle.IsOpen()) return false;
  const int bit = line == ModemOutput::Dtr ? TIOCM_DTR : TIOCM_RTS;
  return Ioctl(detail::Descriptor(handle), on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SetBreak(PortHandle handle, bool on) {
  if (handle.IsNetwork()) return NetworkSetBreak(handle, on);
  if (!handle.IsOpen()) return false;
  return Ioctl(detail::Descriptor(handle), on ? TIOCSBRK : TIOCCBRK, 0) == 0;
}

void Purge(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkPurge(handle);
  if (!handle.IsOpen()) return;
  RetryOnEintr([&] { return tcflush(detail::Descriptor(handle), TCIOFLUSH); });
}

void PurgeInput(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkPurge(handle);
  if (!handle.IsOpen()) return;
  RetryOnEintr([&] { return tcflush(detail::Descriptor(handle), TCIFLUSH); });
}

size_t BytesWaiting(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkBytesWaiting(handle);
  if (!handle.IsOpen()) return 0;
  int count = 0;
  if (Ioctl(detail::Descriptor(handle), FIONREAD, &count) != 0) return 0;
  return count > 0 ? static_cast<size_t>(count) : 0;
}

size_t ReadBytes(PortHandle handle, uint8_t* buffer, size_t max) {
  if (handle.IsNetwork()) return NetworkReadBytes(handle, buffer, max);
  if (!handle.IsOpen() || max == 0) return 0;
  const ssize_t n = RetryOnEintr([&] { return read(detail::Descriptor(handle), buffer, max); });
  return n > 0 ? static_cast<size_t>(n) : 0;
}

bool WaitForInput(PortHandle handle, uint32_t ms) {
  if (handle.IsNetwork()) return NetworkWaitForInput(handle, ms);
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
  bool present = true;
  if (handle.IsOpen()) {
    pollfd p{detail::Descriptor(handle), POLLIN, 0};
    const int rc = RetryOnEintr([&] { return poll(&p, 1, RemainingMs(until)); });
    if (rc == 0) return true;
    if (rc > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) == 0) return true;
    present = false;
  }
  // Hung up, failed or no device: poll would answer at once every time, so wait it out.
  const int left = RemainingMs(until);
  if (left > 0) RealSleep(static_cast<uint32_t>(left));
  return present;
}

void TransmitByte(PortHandle handle, uint8_t value, bool& stalled) {
  if (handle.IsNetwork()) return NetworkTransmitByte(handle, value, stalled);
  if (!handle.IsOpen()) return;
  const int fd = detail::Descriptor(handle);
  Clock::time_point until{};
  bool waiting = false;
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return write(fd, &value, 1); });
    if (n == 1) {
      stalled = false;
      return;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;  // the byte is lost
    if (stalled) return;
    if (!waiting) {
      until = Clock::now() + kStallLimit;
      waiting = true;
    }
    const int left = RemainingMs(until);
    if (left == 0) {
      stalled = true;
      return;
    }
    pollfd p{fd, POLLOUT, 0};
    const int rc = RetryOnEintr([&] { return poll(&p, 1, left); });
    if (rc < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return;
  }
}

// Linux has no parser of its own for mode strings: the port layer's check is the whole check.
bool SystemAcceptsModeString(const std::string&) {
  return true;
}

}  // namespace platform
