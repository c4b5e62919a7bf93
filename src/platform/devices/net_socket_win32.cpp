// Sockets on Windows: Winsock 2 (ws2_32), started once for the program.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <mutex>

#include "platform/devices/net_socket.h"

namespace platform::net {
namespace {

using Clock = std::chrono::steady_clock;
constexpr long kSlice = 50;  // how often a connect in progress looks at the cancel flag

void StartWinsock() {
  static std::once_flag started;
  std::call_once(started, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

SOCKET Native(Socket socket) {
  return static_cast<SOCKET>(socket);
}

// Waits for one connect in progress; the reason when it failed.
PortError AwaitConnect(SOCKET s, Clock::time_point until, const std::atomic<bool>& cancel) {
  while (!cancel) {
    const long left = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    if (left <= 0) return PortError::NoAnswer;
    WSAPOLLFD p{s, POLLWRNORM, 0};
    const int rc = WSAPoll(&p, 1, static_cast<INT>(left < kSlice ? left : kSlice));
    if (rc == SOCKET_ERROR) return PortError::Other;
    if (rc == 0) continue;
    int err = 0;
    int len = sizeof err;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) != 0) {
      return PortError::Other;
    }
    if (err == 0 && (p.revents & (POLLERR | POLLHUP)) == 0) return PortError::None;
    if (err == WSAECONNREFUSED || err == 0) return PortError::ConnectionRefused;
    if (err == WSAETIMEDOUT || err == WSAEHOSTUNREACH || err == WSAENETUNREACH) {
      return PortError::NoAnswer;
    }
    return PortError::Other;
  }
  return PortError::Other;
}

}  // namespace

Socket Connect(const std::string& host, uint16_t port, uint32_t boundMs,
               const std::atomic<bool>& cancel, PortError& error) {
  StartWinsock();
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(boundMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    error = rc == WSAHOST_NOT_FOUND || rc == WSANO_DATA ? PortError::NameUnresolved
            : rc == WSATRY_AGAIN                        ? PortError::NoAnswer
                                                        : PortError::Other;
    return kNoSocket;
  }
  error = PortError::Other;
  SOCKET connected = INVALID_SOCKET;
  for (addrinfo* a = found; a != nullptr && connected == INVALID_SOCKET && !cancel;
       a = a->ai_next) {
    const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    PortError result = PortError::None;
    if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      const int err = WSAGetLastError();
      result = err == WSAEWOULDBLOCK || err == WSAEINPROGRESS ? AwaitConnect(s, until, cancel)
               : err == WSAECONNREFUSED                       ? PortError::ConnectionRefused
                                                              : PortError::Other;
    }
    if (result == PortError::None) {
      const BOOL one = TRUE;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      connected = s;
    } else {
      closesocket(s);
      if (error != PortError::ConnectionRefused) error = result;
    }
  }
  freeaddrinfo(found);
  if (connected == INVALID_SOCKET) return kNoSocket;
  error = PortError::None;
  return static_cast<Socket>(connected);
}

void CloseSocket(Socket socket) {
  if (socket != kNoSocket) closesocket(Native(socket));
}

long Send(Socket socket, const uint8_t* data, size_t size) {
  const int n = send(Native(socket), reinterpret_cast<const char*>(data),
                     static_cast<int>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), 0);
  if (n != SOCKET_ERROR) return n;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

long Receive(Socket socket, uint8_t* buffer, size_t size) {
  const int n = recv(Native(socket), reinterpret_cast<char*>(buffer),
                     static_cast<int>(size > 0x7FFFFFFF ? 0x7FFFFFFF : size), 0);
  if (n > 0) return n;
  if (n == 0) return -1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

Wait WaitFor(Socket socket, bool forWrite, uint32_t ms) {
  WSAPOLLFD p{Native(socket), static_cast<SHORT>(forWrite ? POLLWRNORM : POLLRDNORM), 0};
  const int rc = WSAPoll(&p, 1, static_cast<INT>(ms));
  if (rc == SOCKET_ERROR) return Wait::Failed;
  if (rc == 0) return Wait::TimedOut;
  return Wait::Ready;
}

}  // namespace platform::net
