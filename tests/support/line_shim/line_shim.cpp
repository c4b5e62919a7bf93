// libwirelab_line_shim.so: see line_shim.h. Only the pty slave named in the state is served;
// every other descriptor and request goes to the system's own ioctl untouched.
#include "../line_shim.h"

#include <asm/termios.h>  // not <sys/ioctl.h>: its ioctl declaration would clash with ours
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

using IoctlCall = int (*)(int, unsigned long, ...);

std::atomic<LineShimState*> attached{nullptr};

IoctlCall SystemIoctl() {
  static const auto call = reinterpret_cast<IoctlCall>(dlsym(RTLD_NEXT, "ioctl"));
  return call;
}

uint64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

bool Served(int fd, LineShimState* state) {
  struct stat st {};
  return state != nullptr && fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
         st.st_rdev == state->device.load();
}

// A child process finds its state through the environment.
__attribute__((constructor)) void AttachFromEnvironment() {
  const char* path = getenv("WIRELAB_LINE_SHIM");
  if (path == nullptr) return;
  const int fd = open(path, O_RDWR | O_CLOEXEC);
  if (fd < 0) return;
  void* at = mmap(nullptr, sizeof(LineShimState), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (at != MAP_FAILED) attached = static_cast<LineShimState*>(at);
}

int Serve(LineShimState& s, int fd, unsigned long request, void* arg) {
  constexpr uint32_t kOutputs = TIOCM_DTR | TIOCM_RTS;
  switch (request) {
    case TIOCMGET:
      *static_cast<int*>(arg) = static_cast<int>(s.inputs.load() | s.outputs.load());
      return 0;
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET: {
      const uint32_t bits = static_cast<uint32_t>(*static_cast<const int*>(arg)) & kOutputs;
      const uint32_t now = s.outputs.load();
      s.outputs = request == TIOCMBIS ? now | bits : request == TIOCMBIC ? now & ~bits : bits;
      ++s.outputSets;
      return 0;
    }
    case TIOCMIWAIT: {
      const uint32_t mask = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg));
      const uint32_t from = s.inputs.load() & mask;
      while ((s.inputs.load() & mask) == from) usleep(2000);
      return 0;
    }
    case TIOCSBRK:
      s.breakStartNs = NowNs();
      s.breakOn = 1;
      ++s.breaks;
      return 0;
    case TIOCCBRK:
      if (s.breakOn.exchange(0) != 0) {
        s.lastBreakMs = static_cast<uint32_t>((NowNs() - s.breakStartNs.load()) / 1000000u);
      }
      return 0;
    case TCSETS2: {
      termios2 record = *static_cast<const termios2*>(arg);
      const uint32_t limit = s.roundAbove.load();
      if (limit != 0 && (record.c_cflag & CBAUD) == BOTHER && record.c_ospeed > limit) {
        record.c_ospeed = record.c_ispeed = limit;
      }
      return SystemIoctl()(fd, request, &record);
    }
    default:
      return SystemIoctl()(fd, request, arg);
  }
}

}  // namespace

extern "C" {

void wirelab_line_shim_attach(LineShimState* state) {
  attached = state;
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  switch (request) {
    case TIOCMGET:
    case TIOCMBIS:
    case TIOCMBIC:
    case TIOCMSET:
    case TIOCMIWAIT:
    case TIOCSBRK:
    case TIOCCBRK:
    case TCSETS2:
      if (LineShimState* state = attached.load(); Served(fd, state)) {
        return Serve(*state, fd, request, arg);
      }
      break;
    default:
      break;
  }
  const int rc = SystemIoctl()(fd, request, arg);
  return rc;
}

}  // extern "C"
