#pragma once
// The modem lines and the break that pseudo-terminals lack, given to one pty slave at the
// system call: libwirelab_line_shim.so (tests/support/line_shim) takes over ioctl for the
// modem-line, break and custom-speed requests on that device and passes every other call on.
// The shim and the test share a LineShimState in a file: a child process is given it through
// its environment (LineShim::Environment, with LD_PRELOAD); a test binary linked with the
// shim attaches it directly (wirelab_line_shim_attach). Linux only.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

struct LineShimState {
  std::atomic<uint64_t> device{0};   // st_rdev of the pty slave served; 0: none
  std::atomic<uint32_t> inputs{0};   // TIOCM_CTS, TIOCM_DSR, TIOCM_CAR, TIOCM_RNG as the test sets
  std::atomic<uint32_t> outputs{0};  // TIOCM_DTR, TIOCM_RTS as the program set them
  std::atomic<uint32_t> outputSets{0};   // TIOCMBIS, TIOCMBIC and TIOCMSET requests
  std::atomic<uint32_t> breaks{0};       // breaks started
  std::atomic<uint32_t> breakOn{0};      // 1 while a break is held
  std::atomic<uint32_t> lastBreakMs{0};  // how long the last ended break was held
  std::atomic<uint64_t> breakStartNs{0};
  std::atomic<uint32_t> roundAbove{0};  // a custom speed above this is rounded down to it (0: none)
};

extern "C" void wirelab_line_shim_attach(LineShimState* state);  // null: detach

// The test's side: the state in a file of its own, for the pty slave at slavePath.
class LineShim {
 public:
  explicit LineShim(const std::string& slavePath) {
    char name[] = "/tmp/wirelab-line-shim-XXXXXX";
    fd_ = mkstemp(name);
    if (fd_ < 0 || ftruncate(fd_, sizeof(LineShimState)) != 0) {
      throw std::runtime_error("line shim state");
    }
    path_ = name;
    void* at = mmap(nullptr, sizeof(LineShimState), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (at == MAP_FAILED) throw std::runtime_error("line shim map");
    state_ = new (at) LineShimState;
    struct stat st {};
    if (stat(slavePath.c_str(), &st) != 0) throw std::runtime_error("line shim device");
    state_->device = st.st_rdev;
  }
  ~LineShim() {
    munmap(state_, sizeof(LineShimState));
    close(fd_);
    unlink(path_.c_str());
  }
  LineShim(const LineShim&) = delete;
  LineShim& operator=(const LineShim&) = delete;

  LineShimState& State() { return *state_; }
  // For a child process: the shim preloaded, and where its state is.
  std::vector<std::string> Environment(const std::string& library) const {
    std::vector<std::string> env{"LD_PRELOAD=" + library, "WIRELAB_LINE_SHIM=" + path_};
#if defined(__SANITIZE_ADDRESS__)
    // The preloaded shim comes before the AddressSanitizer runtime the program links, which
    // that runtime refuses by default; the shim only forwards ioctl, so the order is harmless.
    const char* options = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (options ? options : "") +
                  ":verify_asan_link_order=0");
#endif
    return env;
  }

 private:
  int fd_ = -1;
  std::string path_;
  LineShimState* state_ = nullptr;
};
