#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/devices/net_socket.h"
#include "platform/devices/serial_posix_detail.h"

namespace platform::net {
namespace {

using detail::RetryOnEintr;
using Clock = std::chrono::steady_clock;
constexpr int kSlice = 50;  // how often a connect in progress looks at the cancel flag

int Fd(Socket socket) {
  return static_cast<int>(socket);
}

// Waits for one connect in progress; the reason when it failed.
PortError AwaitConnect(int fd, Clock::time_point until, const std::atomic<bool>& cancel) {
  while (!cancel) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return PortError::NoAnswer;
    pollfd p{fd, POLLOUT, 0};
    const int rc =
        RetryOnEintr([&] { return poll(&p, 1, static_cast<int>(left < kSlice ? left : kSlice)); });
    if (rc < 0) return PortError::Other;
    if (rc == 0) continue;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return PortError::Other;
    if (err == 0) return PortError::None;
    if (err == ECONNREFUSED) return PortError::ConnectionRefused;
    if (err == ETIMEDOUT || err == EHOSTUNREACH || err == ENETUNREACH) return PortError::NoAnswer;
    return PortError::Other;
  }
  return PortError::Other;
}

}  // namespace

Socket Connect(const std::string& host, uint16_t port, uint32_t boundMs,
               const std::atomic<bool>& cancel, PortError& error) {
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(boundMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    error = rc == EAI_NONAME || rc == EAI_FAIL || rc == EAI_NODATA ? PortError::NameUnresolved
            : rc == EAI_AGAIN                                      ? PortError::NoAnswer
                                                                   : PortError::Other;
    return kNoSocket;
  }
  error = PortError::Other;
  int connected = -1;
  for (addrinfo* a = found; a != nullptr && connected < 0 && !cancel; a = a->ai_next) {
    const int fd =
        socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    PortError result = PortError::None;
    if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      result = errno == EINPROGRESS || errno == EINTR ? AwaitConnect(fd, until, cancel)
               : errno == ECONNREFUSED                ? PortError::ConnectionRefused
                                                      : PortError::Other;
    }
    if (result == PortError::None) {
      const int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      connected = fd;
    } else {
      close(fd);
      // The most telling reason of the addresses tried: a refusal over anything else.
      if (error != PortError::ConnectionRefused) error = result;
    }
  }
  freeaddrinfo(found);
  if (connected < 0) return kNoSocket;
  error = PortError::None;
  return connected;
}

void CloseSocket(Socket socket) {
  if (socket != kNoSocket) close(Fd(socket));
}

long Send(Socket socket, const uint8_t* data, size_t size) {
  const ssize_t n =
      RetryOnEintr([&] { return send(Fd(socket), data, size, MSG_NOSIGNAL | MSG_DONTWAIT); });
  if (n >= 0) return static_cast<long>(n);
  return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

long Receive(Socket socket, uint8_t* buffer, size_t size) {
  const ssize_t n = RetryOnEintr([&] { return recv(Fd(socket), buffer, size, MSG_DONTWAIT); });
  if (n > 0) return static_cast<long>(n);
  if (n == 0) return -1;
  return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
}

Wait WaitFor(Socket socket, bool forWrite, uint32_t ms) {
  pollfd p{Fd(socket), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
  const int rc = RetryOnEintr([&] { return poll(&p, 1, static_cast<int>(ms)); });
  if (rc < 0) return Wait::Failed;
  if (rc == 0) return Wait::TimedOut;
  // Hung up with bytes still unread: reading finds both.
  return Wait::Ready;
}

}  // namespace platform::net
