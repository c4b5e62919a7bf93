#pragma once
// One reply of the POS dialogue read from a pty's non-blocking master side, for benchmarks.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

// Reads up to and including a carriage return; false at the deadline or on a read error. crAt,
// where given, receives the moment the carriage return was read.
inline bool ReadReply(int fd, std::string& reply, std::chrono::steady_clock::time_point deadline,
                      std::chrono::steady_clock::time_point* crAt = nullptr) {
  using Clock = std::chrono::steady_clock;
  reply.clear();
  for (;;) {
    char ch;
    const ssize_t n = read(fd, &ch, 1);
    if (n == 1) {
      reply.push_back(ch);
      if (ch != '\r') continue;
      if (crAt != nullptr) *crAt = Clock::now();
      return true;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()));
  }
}
