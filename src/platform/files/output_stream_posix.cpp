#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/output_stream.h"

namespace platform {

OutputStream::~OutputStream() {
  if (owned_) close(static_cast<int>(native_));
}

bool OutputStream::OpenAppending(const std::string& path) {
  // Not blocking: a FIFO that nobody reads would hold the open for good. Writes block again.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    reason_ = errno == ENXIO ? "a FIFO that nobody reads" : std::strerror(errno);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  native_ = fd;
  owned_ = true;
  return true;
}

void OutputStream::UseStandardOutput() {
  native_ = STDOUT_FILENO;
  owned_ = false;
}

OutputStream::Result OutputStream::Write(std::string_view data) {
  for (size_t done = 0; done < data.size();) {
    const ssize_t n = write(static_cast<int>(native_), data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    const int error = n == 0 ? EIO : errno;
    reason_ = std::strerror(error);
    return error == EPIPE ? Result::Broken : Result::Failed;
  }
  return Result::Written;
}

std::string ReserveStandardStreams() {
  std::string stdoutReason;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) stdoutReason = std::strerror(EBADF);
    // open() returns the lowest free number, which is this one.
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) close(null);
  }
  return stdoutReason;
}

}  // namespace platform
