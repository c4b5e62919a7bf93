#include <windows.h>

#include "platform/thread/thread_priority.h"

namespace platform {

void LowerThisThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

}  // namespace platform
