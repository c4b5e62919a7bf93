#pragma once
// The serial device operations the port layer needs, one interface for every system; each
// system's file implements it.
//
// A PortHandle is "none" (no port asked for), "invalid" (the device could not be had) or a
// real open device, whose system value is opaque here (it can be 0); none and invalid are
// apart from every such value. An invalid handle carries why the device could not be had.
// Every operation on none or invalid fails quietly.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Why a port has no working device. The system's error codes become one of these in one
// place, in the system's own file.
enum class PortError : uint8_t {
  None,
  NoSuchDevice,
  PermissionDenied,
  Busy,  // held by another program, or by another port of this one
  // Only the exclusive flag of a program that ended without giving the port back (killed)
  // holds it, kept alive by whoever still has the terminal open; not ours to clear here.
  StaleHold,
  NotSerial,    // a file, a directory, a FIFO, /dev/null, /dev/ptmx...
  OwnTerminal,  // the terminal this program runs on (/dev/tty, its stdin, stdout or stderr)
  LinkLoop,     // symbolic links that lead back to themselves
  Gone,         // hung up or removed while open (an adapter pulled out)
  SettingsRefused,
  Other,
  // A port on another machine (rfc2217://HOST:PORT, tcp://HOST:PORT):
  NameUnresolved,     // the host's name does not resolve
  ConnectionRefused,  // nothing listens at the host's port
  NoAnswer,           // the host did not answer within a few seconds
};

class PortHandle {
 public:
  static PortHandle None() { return PortHandle(State::None, 0, PortError::None); }
  static PortHandle Invalid(PortError error = PortError::Other) {
    return PortHandle(State::Invalid, 0, error);
  }
  // An open device, by the system's own value for it.
  static PortHandle FromNative(intptr_t native) {
    return PortHandle(State::Open, native, PortError::None);
  }
  // An open port on another machine, by the network layer's own value for it.
  static PortHandle FromNetwork(intptr_t native) {
    return PortHandle(State::Network, native, PortError::None);
  }

  bool IsNone() const { return state_ == State::None; }
  bool IsInvalid() const { return state_ == State::Invalid; }
  bool IsOpen() const { return state_ == State::Open || state_ == State::Network; }
  bool IsNetwork() const { return state_ == State::Network; }
  intptr_t Native() const { return native_; }
  PortError Error() const { return error_; }
  bool operator==(const PortHandle&) const = default;

 private:
  enum class State : uint8_t { None, Invalid, Open, Network };
  PortHandle(State state, intptr_t native, PortError error)
      : state_(state), native_(native), error_(error) {}
  State state_;
  intptr_t native_;
  PortError error_;
};

enum class Parity : uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
enum class StopBits : uint8_t { One = 0, OneAndHalf = 1, Two = 2 };
// Hardware is RTS/CTS, XonXoff both ways. Unchanged leaves the port's own hardware flow
// control as it was; a binary line then has no XON/XOFF.
enum class FlowControl : uint8_t { Unchanged, None, Hardware, XonXoff };

// A port's line settings in the terms of the port layer. GetCommState fills it from the
// device; the fields not named here (flow control, special characters...) travel in Native
// and are applied back unchanged.
struct CommState {
  uint32_t BaudRate = 9600;
  uint8_t ByteSize = 8;
  Parity ParityMode = Parity::None;
  StopBits Stop = StopBits::One;
  bool Binary = false;                        // raw line: every byte passes unchanged both ways
  FlowControl Flow = FlowControl::Unchanged;  // SetCommState only; GetCommState leaves it
  alignas(8) unsigned char Native[128] = {};  // the system's own line record
};

// Sees each control request an open makes of the device (tests check which ones: an open
// must leave the modem lines alone, which pseudo-terminals cannot show).
using DeviceRequestObserver = std::function<void(unsigned long request)>;

// Opens the device for exclusive use; an invalid handle with the reason when it is missing,
// forbidden, not a serial device, or held by anyone: another port object, or another program
// (even one that holds it in a way the system lets an administrator pass). watch, where set,
// sees every control request of the open.
PortHandle OpenExclusive(const std::string& path, const DeviceRequestObserver& watch = {});
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
void Purge(PortHandle handle);       // empties both driver buffers
void PurgeInput(PortHandle handle);  // empties the receive buffer; output still goes out

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

// The flow control the port runs with now: None, Hardware or XonXoff (hardware where both are
// on); None when it cannot be read.
FlowControl FlowControlInForce(PortHandle handle);

// Why the modem lines are not known.
enum class LinesUnknown : uint8_t {
  None,     // they are known
  NoLines,  // the device has none to report or set (a pseudo-terminal)
  Gone,     // the device is gone or not open
  Failed,   // the system refused the query; Code says why
};

// The modem lines of an open device, as it reports them: never guessed. Inputs and outputs
// are known or not together where the system reads them in one query.
struct ModemLines {
  bool Known = false;  // CTS, DSR, DCD and RI were read
  bool Cts = false, Dsr = false, Dcd = false, Ri = false;
  bool OutputsKnown = false;  // DTR and RTS were read back
  bool Dtr = false, Rts = false;
  LinesUnknown Why = LinesUnknown::Gone;
  unsigned long Code = 0;  // the system's error code, for Failed
  bool operator==(const ModemLines&) const = default;
};
enum class ModemOutput : uint8_t { Dtr, Rts };

// Reads the lines; any thread may ask while another sends.
ModemLines GetModemLines(PortHandle handle);
// Raises or lowers DTR or RTS; false when the device refuses (GetModemLines says why).
bool SetModemOutput(PortHandle handle, ModemOutput line, bool on);
// Starts (on) or ends a break: the line held at space until it is ended. The caller times it
// (TIOCSBRK and TIOCCBRK; SetCommBreak and ClearCommBreak), so that no thread waits it out.
bool SetBreak(PortHandle handle, bool on);

// The system's own check of a whole mode string ("com1:9600,n,8,1"), where it has one; the
// port layer's own check applies as well, since a system may take forms it does not.
bool SystemAcceptsModeString(const std::string& mode);

}  // namespace platform
