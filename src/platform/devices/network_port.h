#pragma once
// Ports on other machines: a device path "rfc2217://HOST:PORT" (Telnet with RFC 2217's
// COM-PORT-OPTION, as ser2net serves it) or "tcp://HOST:PORT" (raw bytes, no settings). The
// port layer's operations (serial_device.h) hand such a handle here; what only a network port
// has is below.
//
// Connecting runs on a short-lived thread of its own: an open waits for it only briefly
// (kOpenWaitMs), then the port is open and connecting, and the port's own thread, in
// WaitForInput, sees it connect or fail (NoAnswer after kNoAnswerMs). A failed or dropped
// connection makes WaitForInput report the port gone; GoneReason says why. While it is gone,
// DeviceNodePresent on its path tries the server again now and then and holds a connection
// that succeeds for the next open to take.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/devices/serial_device.h"
#include "platform/devices/telnet_link.h"

namespace platform {

constexpr uint32_t kOpenWaitMs = 300;
constexpr uint32_t kNoAnswerMs = 4000;
constexpr uint32_t kRetryMs = 500;

struct NetworkAddress {
  bool comPort = true;  // rfc2217:// (true) or tcp://
  std::string host;     // a name, an IPv4 address or an IPv6 address without its brackets
  uint16_t port = 0;
};

// The length of the "rfc2217://HOST:PORT" or "tcp://HOST:PORT" that text starts with (the
// scheme in either case, the host bracketed for IPv6); 0 when it starts with none.
size_t NetworkDeviceLength(std::string_view text);
bool IsNetworkDevice(std::string_view path);
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path);

// Why a port was found gone: for a network port the reason its connection failed
// (NameUnresolved, ConnectionRefused, NoAnswer) or Gone when the server dropped it; Gone for
// any other device. Ask before the handle is closed.
PortError GoneReason(PortHandle handle);
// The RFC 2217 options and commands the server refused or left unanswered; empty for any
// other device.
std::vector<std::string> UnconfirmedOptions(PortHandle handle);
// True once each time that list has grown (the port thread asks after its waits).
bool TakeLinkNotice(PortHandle handle);
// SET-CONTROL: flow control, break, DTR or RTS on the server's port. False when the port is
// no rfc2217 port.
bool SetNetworkControl(PortHandle handle, net::LineControl control);
// The modem lines the server last reported (NOTIFY-MODEMSTATE: CTS 0x10, DSR 0x20, RI 0x40,
// DCD 0x80), if it reported any.
std::optional<uint8_t> NetworkModemState(PortHandle handle);
// The modem-line operations on a network port: the inputs as the server last reported them
// (unknown until it does; the outputs are never read back), DTR, RTS and break through
// SET-CONTROL.
ModemLines NetworkModemLines(PortHandle handle);
bool NetworkSetModemOutput(PortHandle handle, ModemOutput line, bool on);
bool NetworkSetBreak(PortHandle handle, bool on);
// The flow control asked of the server through SET-CONTROL (the settings' fifth field); the
// server's answer, or its silence, is among UnconfirmedOptions.
FlowControl NetworkFlowControl(PortHandle handle);

// The port layer's operations on network ports; each system's serial file hands them on.
PortHandle OpenNetworkPort(const std::string& path);
void CloseNetworkPort(PortHandle handle);
bool NetworkGetCommState(PortHandle handle, CommState& state);
bool NetworkSetCommState(PortHandle handle, const CommState& state);
void NetworkPurge(PortHandle handle);
size_t NetworkBytesWaiting(PortHandle handle);
size_t NetworkReadBytes(PortHandle handle, uint8_t* buffer, size_t max);
bool NetworkWaitForInput(PortHandle handle, uint32_t ms);
bool NetworkPresent(const std::string& path);
void NetworkTransmitByte(PortHandle handle, uint8_t value, bool& stalled);

}  // namespace platform
