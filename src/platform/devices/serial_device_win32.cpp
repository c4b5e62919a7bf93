// The port layer on Windows, with the system's own communications calls: BuildCommDCBA,
// CreateFileA on "\\.\COMn" with share mode 0 (the exclusive open), GetCommState and
// SetCommState, PurgeComm, ClearCommError for the bytes waiting, ReadFile, WriteFile with a
// bounded wait, and CloseHandle; GetCommModemStatus, EscapeCommFunction and the driver's own
// DTR/RTS query for the modem lines, SetCommBreak and ClearCommBreak for a break.
//
// The device is opened overlapped so that the idle port thread can wait on the port's own
// "a byte came" event (WaitCommEvent with EV_RXCHAR) instead of sleeping out its poll: a byte
// wakes it at once, and an idle port still looks again every poll period.
#include <windows.h>
// After windows.h.
#include <winioctl.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/devices/network_port.h"
#include "platform/devices/serial_device.h"
#include "platform/text/win32_text.h"
#include "platform/time/ticks.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStallLimit = std::chrono::milliseconds(2000);

// The serial driver's query of the output lines as it holds them (ntddser.h, a driver kit
// header that user-mode headers do not carry whole).
constexpr DWORD kGetDtrRts =
    CTL_CODE(FILE_DEVICE_SERIAL_PORT, 30, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr ULONG kDtrState = 0x1;
constexpr ULONG kRtsState = 0x2;

static_assert(sizeof(DCB) <= sizeof(CommState::Native));

// What one open port needs besides the system handle: the pending event wait of the port
// thread and the write event of the main thread, each used by one thread only.
struct Port {
  HANDLE file = INVALID_HANDLE_VALUE;
  OVERLAPPED wait{};
  DWORD waitMask = 0;
  bool waitPending = false;
  HANDLE readEvent = nullptr;
  HANDLE writeEvent = nullptr;
};

Port* PortOf(PortHandle handle) {
  return handle.IsOpen() && !handle.IsNetwork() ? reinterpret_cast<Port*>(handle.Native())
                                                : nullptr;
}

PortError PortErrorFromCode(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS:
      return PortError::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME:
      return PortError::NoSuchDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return PortError::Busy;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_INVALID_PARAMETER:
      return PortError::NotSerial;
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
      return PortError::Gone;
    default:
      return PortError::Other;
  }
}

bool IsGoneCode(DWORD code) {
  return PortErrorFromCode(code) == PortError::Gone;
}

// "COM3" and "com3:" name the port COM3; the "\\.\" form opens COM10 and above too. Any other
// path is taken as the system's own name of a device.
std::string DeviceName(const std::string& path) {
  std::string name = path;
  if (!name.empty() && name.back() == ':') name.pop_back();
  const bool comName = name.size() > 3 && _strnicmp(name.c_str(), "com", 3) == 0 &&
                       name.find_first_not_of("0123456789", 3) == std::string::npos;
  return comName ? "\\\\.\\" + name : name;
}

void CancelWait(Port& port) {
  if (!port.waitPending) return;
  // A new event mask ends a pending event wait at once, as the system documents; the
  // cancellation alone is not honoured everywhere (Wine 8 keeps waiting for an event).
  SetCommMask(port.file, 0);
  CancelIoEx(port.file, &port.wait);
  DWORD ignored = 0;
  GetOverlappedResult(port.file, &port.wait, &ignored, TRUE);
  port.waitPending = false;
}

void Release(Port* port) {
  if (port == nullptr) return;
  CancelWait(*port);
  CloseHandle(port->file);
  CloseHandle(port->wait.hEvent);
  CloseHandle(port->readEvent);
  CloseHandle(port->writeEvent);
  delete port;
}

DWORD BitsPerCharacter(const DCB& dcb) {
  const DWORD stop = dcb.StopBits == ONESTOPBIT ? 1 : 2;
  return 1 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0) + stop;
}

}  // namespace

PortHandle OpenExclusive(const std::string& path, const DeviceRequestObserver&) {
  if (IsNetworkDevice(path)) return OpenNetworkPort(path);
  const std::string name = DeviceName(path);
  const HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // A folder is refused as access denied, which would otherwise read as a busy port.
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return PortHandle::Invalid(PortError::NotSerial);
    }
    return PortHandle::Invalid(PortErrorFromCode(code));
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(file, &dcb)) {
    CloseHandle(file);
    return PortHandle::Invalid(PortError::NotSerial);
  }
  // Reads return at once with what is there; writes wait at most for the stall bound.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  SetCommTimeouts(file, &timeouts);
  SetCommMask(file, EV_RXCHAR);
  auto* port = new Port;
  port->file = file;
  port->wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  port->readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  port->writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return PortHandle::FromNative(reinterpret_cast<intptr_t>(port));
}

namespace detail {

// Bytes still queued for output and how long they may take to leave; used by PortDrains.
uint32_t QueuedOutputBoundMs(PortHandle handle) {
  Port* port = PortOf(handle);
  if (port == nullptr) return 0;
  COMSTAT status{};
  DWORD errors = 0;
  if (!ClearCommError(port->file, &errors, &status) || status.cbOutQue == 0) return 0;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port->file, &dcb)) return kMaxDrainMs;
  return DrainBoundMs(status.cbOutQue, dcb.BaudRate, BitsPerCharacter(dcb));
}

size_t QueuedOutput(PortHandle handle) {
  Port* port = PortOf(handle);
  COMSTAT status{};
  DWORD errors = 0;
  if (port == nullptr || !ClearCommError(port->file, &errors, &status)) return 0;
  return status.cbOutQue;
}

void DropOutputAndClose(PortHandle handle) {
  Port* port = PortOf(handle);
  if (port == nullptr) return;
  PurgeComm(port->file, PURGE_TXABORT | PURGE_TXCLEAR);
  Release(port);
}

}  // namespace detail

void Close(PortHandle handle) {
  if (handle.IsNetwork()) return CloseNetworkPort(handle);
  Port* port = PortOf(handle);
  if (port == nullptr) return;
  // What is queued leaves within its bound; then the rest is dropped.
  const uint32_t bound = detail::QueuedOutputBoundMs(handle);
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(bound);
  while (bound > 0 && detail::QueuedOutput(handle) > 0 && Clock::now() < until) RealSleep(10);
  detail::DropOutputAndClose(handle);
}

void CloseGone(PortHandle handle) {
  if (handle.IsNetwork()) return CloseNetworkPort(handle);
  detail::DropOutputAndClose(handle);
}

bool DeviceNodePresent(const std::string& path) {
  if (IsNetworkDevice(path)) return NetworkPresent(path);
  // A COM name is present while the system's list of serial devices names it.
  const std::string name = DeviceName(path);
  if (name.rfind("\\\\.\\", 0) != 0) {
    return GetFileAttributesW(ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES ||
           GetLastError() != ERROR_FILE_NOT_FOUND;
  }
  wchar_t target[512];
  return QueryDosDeviceW(ToWide(name.substr(4)).c_str(), target, 512) != 0;
}

bool GetCommState(PortHandle handle, CommState& state) {
  if (handle.IsNetwork()) return NetworkGetCommState(handle, state);
  Port* port = PortOf(handle);
  if (port == nullptr) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port->file, &dcb)) return false;
  std::memcpy(state.Native, &dcb, sizeof dcb);
  state.BaudRate = dcb.BaudRate;
  state.ByteSize = dcb.ByteSize;
  switch (dcb.Parity) {
    case ODDPARITY:
      state.ParityMode = Parity::Odd;
      break;
    case EVENPARITY:
      state.ParityMode = Parity::Even;
      break;
    case MARKPARITY:
      state.ParityMode = Parity::Mark;
      break;
    case SPACEPARITY:
      state.ParityMode = Parity::Space;
      break;
    default:
      state.ParityMode = Parity::None;
      break;
  }
  state.Stop = dcb.StopBits == TWOSTOPBITS    ? StopBits::Two
               : dcb.StopBits == ONE5STOPBITS ? StopBits::OneAndHalf
                                              : StopBits::One;
  state.Binary = dcb.fBinary != 0;
  return true;
}

bool SetCommState(PortHandle handle, const CommState& state) {
  if (handle.IsNetwork()) return NetworkSetCommState(handle, state);
  Port* port = PortOf(handle);
  if (port == nullptr || state.ByteSize < 5 || state.ByteSize > 8 || state.BaudRate == 0) {
    return false;
  }
  DCB dcb{};
  std::memcpy(&dcb, state.Native, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = state.BaudRate;
  dcb.ByteSize = state.ByteSize;
  static constexpr BYTE kParity[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
  dcb.Parity = kParity[static_cast<int>(state.ParityMode)];
  static constexpr BYTE kStop[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
  dcb.StopBits = kStop[static_cast<int>(state.Stop)];
  if (state.Binary) {
    // Every byte passes unchanged: no XON/XOFF, no replacement or stripping of bytes, no
    // abort on a line error. The hardware flow control stays as the port had it.
    dcb.fBinary = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fParity = FALSE;
  }
  const bool hardware = state.Flow == FlowControl::Hardware;
  const bool software = state.Flow == FlowControl::XonXoff;
  if (state.Flow != FlowControl::Unchanged) {
    dcb.fOutxCtsFlow = hardware ? TRUE : FALSE;
    dcb.fRtsControl = hardware                                   ? RTS_CONTROL_HANDSHAKE
                      : dcb.fRtsControl == RTS_CONTROL_HANDSHAKE ? RTS_CONTROL_ENABLE
                                                                 : dcb.fRtsControl;
    dcb.fOutX = software ? TRUE : FALSE;
    dcb.fInX = software ? TRUE : FALSE;
  }
  if (software) {
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    if (dcb.XonLim == 0) dcb.XonLim = 512;
    if (dcb.XoffLim == 0) dcb.XoffLim = 512;
  }
  return ::SetCommState(port->file, &dcb) != FALSE;
}

FlowControl FlowControlInForce(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkFlowControl(handle);
  Port* port = PortOf(handle);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (port == nullptr || !::GetCommState(port->file, &dcb)) return FlowControl::None;
  if (dcb.fOutxCtsFlow) return FlowControl::Hardware;
  if (dcb.fOutX || dcb.fInX) return FlowControl::XonXoff;
  return FlowControl::None;
}

namespace {

void LinesUnknownFor(ModemLines& lines, DWORD code) {
  lines.Code = code;
  lines.Why = code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
                      code == ERROR_INVALID_PARAMETER
                  ? LinesUnknown::NoLines
              : IsGoneCode(code) ? LinesUnknown::Gone
                                 : LinesUnknown::Failed;
}

}  // namespace

ModemLines GetModemLines(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkModemLines(handle);
  ModemLines lines;
  Port* port = PortOf(handle);
  if (port == nullptr) return lines;
  DWORD status = 0;
  if (!GetCommModemStatus(port->file, &status)) {
    LinesUnknownFor(lines, GetLastError());
    return lines;
  }
  lines.Known = true;
  lines.Why = LinesUnknown::None;
  lines.Cts = (status & MS_CTS_ON) != 0;
  lines.Dsr = (status & MS_DSR_ON) != 0;
  lines.Dcd = (status & MS_RLSD_ON) != 0;
  lines.Ri = (status & MS_RING_ON) != 0;
  // The outputs as the driver holds them; the handle is overlapped, so the query is too.
  OVERLAPPED query{};
  query.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ULONG outputs = 0;
  DWORD n = 0;
  BOOL ok =
      DeviceIoControl(port->file, kGetDtrRts, nullptr, 0, &outputs, sizeof outputs, &n, &query);
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    ok = GetOverlappedResult(port->file, &query, &n, TRUE);
  }
  CloseHandle(query.hEvent);
  if (ok && n == sizeof outputs) {
    lines.OutputsKnown = true;
    lines.Dtr = (outputs & kDtrState) != 0;
    lines.Rts = (outputs & kRtsState) != 0;
  }
  return lines;
}

bool SetModemOutput(PortHandle handle, ModemOutput line, bool on) {
  if (handle.IsNetwork()) return NetworkSetModemOutput(handle, line, on);
  Port* port = PortOf(handle);
  if (port == nullptr) return false;
  const DWORD function = line == ModemOutput::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
  return EscapeCommFunction(port->file, function) != FALSE;
}

bool SetBreak(PortHandle handle, bool on) {
  if (handle.IsNetwork()) return NetworkSetBreak(handle, on);
  Port* port = PortOf(handle);
  if (port == nullptr) return false;
  return (on ? SetCommBreak(port->file) : ClearCommBreak(port->file)) != FALSE;
}

void Purge(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkPurge(handle);
  if (Port* port = PortOf(handle)) PurgeComm(port->file, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void PurgeInput(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkPurge(handle);
  if (Port* port = PortOf(handle)) PurgeComm(port->file, PURGE_RXCLEAR);
}

size_t BytesWaiting(PortHandle handle) {
  if (handle.IsNetwork()) return NetworkBytesWaiting(handle);
  Port* port = PortOf(handle);
  if (port == nullptr) return 0;
  COMSTAT status{};
  DWORD errors = 0;  // line errors are cleared by the query and otherwise ignored
  if (!ClearCommError(port->file, &errors, &status)) return 0;
  return status.cbInQue;
}

size_t ReadBytes(PortHandle handle, uint8_t* buffer, size_t max) {
  if (handle.IsNetwork()) return NetworkReadBytes(handle, buffer, max);
  Port* port = PortOf(handle);
  if (port == nullptr || max == 0) return 0;
  OVERLAPPED read{};
  read.hEvent = port->readEvent;
  ResetEvent(read.hEvent);
  DWORD n = 0;
  bool ok = ReadFile(port->file, buffer, static_cast<DWORD>(max), &n, &read) != FALSE;
  // With the read time-outs set, a pending read ends at once with what was there.
  if (!ok && GetLastError() == ERROR_IO_PENDING) {
    ok = GetOverlappedResult(port->file, &read, &n, TRUE) != FALSE;
  }
  return ok ? n : 0;
}

namespace {

// One event wait of at most ms on an open port; false when the device failed.
bool AwaitInput(Port& port, uint32_t ms) {
  // An unplugged adapter fails the status query at once.
  COMSTAT status{};
  DWORD errors = 0;
  if (!ClearCommError(port.file, &errors, &status) && IsGoneCode(GetLastError())) {
    RealSleep(ms);
    return false;
  }
  if (status.cbInQue > 0) return true;
  if (!port.waitPending) {
    ResetEvent(port.wait.hEvent);
    port.waitMask = 0;
    if (WaitCommEvent(port.file, &port.waitMask, &port.wait)) return true;
    const DWORD code = GetLastError();
    if (code != ERROR_IO_PENDING) {
      // No event wait on this device: sleep out the poll instead.
      RealSleep(ms);
      return !IsGoneCode(code) || code == ERROR_OPERATION_ABORTED;
    }
    port.waitPending = true;
  }
  if (WaitForSingleObject(port.wait.hEvent, ms) != WAIT_OBJECT_0) return true;
  port.waitPending = false;
  DWORD ignored = 0;
  if (GetOverlappedResult(port.file, &port.wait, &ignored, FALSE)) return true;
  // A wait the system ended early (it does so when the port's state is asked for or
  // changed) is simply made again; only a failing device is gone.
  const DWORD code = GetLastError();
  return code == ERROR_OPERATION_ABORTED || !IsGoneCode(code);
}

}  // namespace

bool WaitForInput(PortHandle handle, uint32_t ms) {
  if (handle.IsNetwork()) return NetworkWaitForInput(handle, ms);
  Port* port = PortOf(handle);
  if (port == nullptr) {
    RealSleep(ms);
    return handle.IsNone() || handle.IsInvalid();
  }
  const auto start = Clock::now();
  if (!AwaitInput(*port, ms)) return false;
  // A wait that ends at once without a byte must not make the port thread spin: a hung-up
  // terminal under Wine ends every event wait so. The rest of the period is slept out.
  COMSTAT status{};
  DWORD errors = 0;
  ClearCommError(port->file, &errors, &status);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  if (status.cbInQue == 0 && waited.count() < ms) {
    RealSleep(ms - static_cast<uint32_t>(waited.count()));
  }
  return true;
}

void TransmitByte(PortHandle handle, uint8_t value, bool& stalled) {
  if (handle.IsNetwork()) return NetworkTransmitByte(handle, value, stalled);
  Port* port = PortOf(handle);
  if (port == nullptr) return;
  OVERLAPPED write{};
  write.hEvent = port->writeEvent;
  ResetEvent(write.hEvent);
  DWORD n = 0;
  bool taken = WriteFile(port->file, &value, 1, &n, &write) != FALSE;
  if (!taken) {
    if (GetLastError() != ERROR_IO_PENDING) return;  // the byte is lost
    // A port that stalled loses bytes at once until it takes one again.
    const DWORD waitMs = stalled ? 0 : static_cast<DWORD>(kStallLimit.count());
    if (WaitForSingleObject(write.hEvent, waitMs) != WAIT_OBJECT_0) {
      CancelIoEx(port->file, &write);
    }
    taken = GetOverlappedResult(port->file, &write, &n, TRUE) != FALSE;
  }
  stalled = !(taken && n == 1);
}

bool SystemAcceptsModeString(const std::string& mode) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  return BuildCommDCBA(mode.c_str(), &dcb) != FALSE;
}

}  // namespace platform
