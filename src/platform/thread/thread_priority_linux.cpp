#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/thread/thread_priority.h"

namespace platform {

// Linux keeps a nice value per thread: a positive one is the nearest to "below normal".
void LowerThisThreadPriority() {
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
}

}  // namespace platform
