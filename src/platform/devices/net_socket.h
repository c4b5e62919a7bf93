#pragma once
// Plain stream sockets to another machine, one interface for every system; each system's file
// implements it. Every socket here is non-blocking once connected.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/devices/serial_device.h"

namespace platform::net {

using Socket = intptr_t;
constexpr Socket kNoSocket = -1;

// Resolves host and connects to its port, waiting at most boundMs (or until cancel is set) on
// the calling thread. kNoSocket with the reason (NameUnresolved, ConnectionRefused, NoAnswer,
// Other) when it did not connect. The socket sends each write at once (no coalescing delay).
Socket Connect(const std::string& host, uint16_t port, uint32_t boundMs,
               const std::atomic<bool>& cancel, PortError& error);
void CloseSocket(Socket socket);

// Bytes sent (0 when the system's buffer is full); -1 when the connection failed.
long Send(Socket socket, const uint8_t* data, size_t size);
// Bytes received; 0 when nothing waits; -1 when the peer closed or the connection failed.
long Receive(Socket socket, uint8_t* buffer, size_t size);

enum class Wait : uint8_t { Ready, TimedOut, Failed };
// Waits at most ms until the socket can be read (or has closed), or written with forWrite.
Wait WaitFor(Socket socket, bool forWrite, uint32_t ms);

}  // namespace platform::net
