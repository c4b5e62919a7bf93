#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "pty_pair.h"

PtyPair::PtyPair(const std::string& name) {
  char path[256] = {};
  if (openpty(&master_, &slave_, path, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  slavePath_ = path;
  // The test's own slave descriptor stays raw too, so nothing is echoed or translated.
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);
  tcsetattr(slave_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!name.empty()) {
    const std::string dir = "/tmp/wirelab-pty-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    namedPath_ = dir + "/" + name;
    std::filesystem::remove(namedPath_);
    std::filesystem::create_symlink(slavePath_, namedPath_);
  }
}

PtyPair::~PtyPair() {
  CloseMaster();
  if (slave_ >= 0) close(slave_);
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) close(master_);
  master_ = -1;
  if (!namedPath_.empty()) unlink(namedPath_.c_str());
}

void PtyPair::Write(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 100);
    } else {
      throw std::runtime_error("write on pty master failed");
    }
  }
}

bool PtyPair::AwaitRoom(std::chrono::milliseconds wait) {
  pollfd p{master_, POLLOUT, 0};
  return poll(&p, 1, static_cast<int>(wait.count())) > 0;
}

size_t PtyPair::WriteSome(const std::vector<uint8_t>& bytes) {
  const ssize_t n = write(master_, bytes.data(), bytes.size());
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void PtyPair::Write(const std::string& bytes) {
  Write(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::vector<uint8_t> PtyPair::ReadExactly(size_t count, std::chrono::milliseconds deadline) {
  std::vector<uint8_t> out;
  auto end = std::chrono::steady_clock::now() + deadline;
  while (out.size() < count) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    uint8_t buf[4096];
    size_t want = std::min(sizeof buf, count - out.size());
    ssize_t n = read(master_, buf, want);
    if (n > 0) out.insert(out.end(), buf, buf + n);
  }
  return out;
}

std::vector<uint8_t> PtyPair::ReadAvailable(std::chrono::milliseconds quiet) {
  std::vector<uint8_t> out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) break;
    uint8_t buf[4096];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.insert(out.end(), buf, buf + n);
  }
  return out;
}

bool SecondOpenRefused() {
  return true;
}
