#pragma once
// The serial device operations the port layer needs, one interface for every platform.
//
// A PortHandle is "none" (no port asked for), "invalid" (the device could not be had) or a
// real open device; descriptor 0 can be a real device, so none and invalid are apart from
// every descriptor. An invalid handle carries why the device could not be had. Every
// operation on none or invalid fails quietly.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Why a port has no working device. The system's error codes become one of these in one
// place, PortErrorFromErrno.
enum class PortError : uint8_t {
  None,
  NoSuchDevice,
  PermissionDenied,
  Busy,       // held by another program, or by another port of this one
  NotSerial,  // a file, a directory, a FIFO, /dev/null...
  Gone,       // hung up or removed while open (an adapter pulled out)
  SettingsRefused,
  Other,
};

PortError PortErrorFromErrno(int err);

class PortHandle {
 public:
  static PortHandle None() { return PortHandle(kNone, PortError::None); }
  static PortHandle Invalid(PortError error = PortError::Other) {
    return PortHandle(kInvalid, error);
  }
  static PortHandle FromDescriptor(int fd) { return PortHandle(fd, PortError::None); }

  bool IsNone() const { return fd_ == kNone; }
  bool IsInvalid() const { return fd_ == kInvalid; }
  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  PortError Error() const { return error_; }
  bool operator==(const PortHandle&) const = default;

 private:
  static constexpr int kNone = -1;
  static constexpr int kInvalid = -2;
  PortHandle(int fd, PortError error) : fd_(fd), error_(error) {}
  int fd_;
  PortError error_;
};

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OneAndHalf = 1, Two = 2 };

// A port's line settings in the terms of the port layer. GetCommState fills it from the
// device; the fields not named here (flow control, special characters...) travel in Native
// and are applied back unchanged.
struct CommState {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;
  Parity ParityMode = Parity::None;
  StopBits Stop = StopBits::One;
  bool Binary = false;                        // raw line: every byte passes unchanged both ways
  alignas(8) unsigned char Native[128] = {};  // the platform's own record (termios here)
};

// Sees the request of an ioctl the port layer makes (tests check which calls an open makes:
// pseudo-terminals have no modem lines to read back).
using IoctlObserver = std::function<void(unsigned long request)>;

// Opens the device for exclusive use; an invalid handle with the reason when it is missing,
// forbidden, not a serial device, or held by anyone: another port object, a program that
// took it exclusively (even when we run as root), or a live "LCK.." lock file. watch, where
// set, sees every ioctl of the open.
PortHandle OpenExclusive(const std::string& path, const IoctlObserver& watch = {});
// Gives the device back at once. Output still queued in the driver is dropped; a port whose
// queued bytes should still leave is closed through PortDrains instead.
void Close(PortHandle handle);
// Gives a device that has gone back at once, dropping whatever it still had queued.
void CloseGone(PortHandle handle);
constexpr uint32_t kMaxDrainMs = 3000;
// How long queued bytes may take to leave at the given speed, with a margin, bounded.
uint32_t DrainBoundMs(size_t queuedBytes, uint32_t baud, uint32_t bitsPerCharacter);

bool GetCommState(PortHandle handle, CommState& state);
bool SetCommState(PortHandle handle, const CommState& state);
void Purge(PortHandle handle);  // empties both driver buffers

// Bytes waiting in the driver's receive buffer; 0 when the query fails.
size_t BytesWaiting(PortHandle handle);
// Reads at most max waiting bytes without blocking; returns the count read (0 on failure).
size_t ReadBytes(PortHandle handle, uint8_t* buffer, size_t max);
// Waits at most ms for input. On a hung-up or invalid device it sleeps out the whole time.
// False when the device has hung up or failed (it is gone).
bool WaitForInput(PortHandle handle, uint32_t ms);
// False when the device node the port was opened from no longer exists.
bool DeviceNodePresent(const std::string& path);
// Hands one byte to the driver. On a full queue it waits for room, but a port that stays
// stalled past about 2 s loses bytes at once until it drains. Never reports a failure.
// stalled is the port's own record of that (false for a device just opened): set when the
// wait ran out, cleared by the next byte the driver takes.
void TransmitByte(PortHandle handle, uint8_t value, bool& stalled);

}  // namespace platform

namespace platform {
// The native record SetCommState would apply for this state (tests read it, since
// pseudo-terminals keep 8 data bits and no parity whatever is asked).
struct NativeLineRecord {
  uint32_t iflag, oflag, cflag, lflag;
};
NativeLineRecord BuildNativeRecord(const CommState& state);
}  // namespace platform
