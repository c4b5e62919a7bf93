#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "pty_cable.h"

PtyCable::PtyCable(PtyPair& one, PtyPair& two) : one_(one), two_(two) {
  thread_ = std::thread([this] { Carry(); });
}

PtyCable::~PtyCable() {
  stop_ = true;
  thread_.join();
}

void PtyCable::Carry() {
  char buffer[4096];
  while (!stop_) {
    pollfd fds[2] = {{one_.MasterFd(), POLLIN, 0}, {two_.MasterFd(), POLLIN, 0}};
    if (poll(fds, 2, 20) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & POLLIN) == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) (i == 0 ? two_ : one_).Write(std::vector<uint8_t>(buffer, buffer + n));
    }
  }
}
