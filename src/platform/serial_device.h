#pragma once
// The serial device operations the port layer needs, one interface for every platform.
//
// A PortHandle is "none" (no port asked for), "invalid" (the device could not be had) or a
// real open device; descriptor 0 can be a real device, so none and invalid are apart from
// every descriptor. Every operation on none or invalid fails quietly.

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class PortHandle {
 public:
  static PortHandle None() { return PortHandle(kNone); }
  static PortHandle Invalid() { return PortHandle(kInvalid); }
  static PortHandle FromDescriptor(int fd) { return PortHandle(fd); }

  bool IsNone() const { return fd_ == kNone; }
  bool IsInvalid() const { return fd_ == kInvalid; }
  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  bool operator==(const PortHandle&) const = default;

 private:
  static constexpr int kNone = -1;
  static constexpr int kInvalid = -2;
  explicit PortHandle(int fd) : fd_(fd) {}
  int fd_;
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
  bool Binary = false;  // raw line: every byte passes unchanged both ways
  alignas(8) unsigned char Native[128] = {};  // the platform's own record (termios here)
};

// Opens the device for exclusive use; Invalid() when it is missing or held by anyone.
PortHandle OpenExclusive(const std::string& path);
void Close(PortHandle handle);  // drops unsent output first, so it never hangs

bool GetCommState(PortHandle handle, CommState& state);
bool SetCommState(PortHandle handle, const CommState& state);
void RaiseRts(PortHandle handle);  // fails quietly where the device has no modem lines
void Purge(PortHandle handle);     // empties both driver buffers

// Bytes waiting in the driver's receive buffer; 0 when the query fails.
size_t BytesWaiting(PortHandle handle);
// Reads at most max waiting bytes without blocking; returns the count read (0 on failure).
size_t ReadBytes(PortHandle handle, uint8_t* buffer, size_t max);
// Waits at most ms for input. On a hung-up or invalid device it sleeps out the whole time.
void WaitForInput(PortHandle handle, uint32_t ms);
// Hands one byte to the driver. On a full queue it waits for room, but a port that stays
// stalled past about 2 s loses bytes at once until it drains. Never reports a failure.
void TransmitByte(PortHandle handle, uint8_t value);

}  // namespace platform

namespace platform {
// The native record SetCommState would apply for this state (tests read it, since
// pseudo-terminals keep 8 data bits and no parity whatever is asked).
struct NativeLineRecord {
  uint32_t iflag, oflag, cflag, lflag;
};
NativeLineRecord BuildNativeRecord(const CommState& state);
}  // namespace platform
