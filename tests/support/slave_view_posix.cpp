#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "serial_test_support.h"

SlaveView::SlaveView(const std::string& path)
    : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
}

SlaveView::~SlaveView() {
  close(fd_);
}
