#pragma once
// Gives the calling thread a priority below normal, so that port threads never take time
// from the window.

namespace platform {

void LowerThisThreadPriority();

}  // namespace platform
