#include "platform/thread/quit_request.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/thread/quit_request_detail.h"

namespace platform {
namespace {

std::atomic<bool> quitRequested{false};
std::atomic<bool> quitBySignal{false};

constexpr size_t kMaxNameBytes = 40;
char prefix[kMaxNameBytes + 3] = "WireLab: ";
size_t prefixSize = 9;

}  // namespace

void RequestQuit() {
  quitRequested = true;
}
bool QuitRequested() {
  return quitRequested;
}
bool QuitBySignal() {
  return quitBySignal;
}
void ResetQuitRequest() {
  quitRequested = false;
  quitBySignal = false;
}

void SetProgramName(std::string_view name) {
  const size_t size = std::min(name.size(), kMaxNameBytes);
  std::memcpy(prefix, name.data(), size);
  std::memcpy(prefix + size, ": ", 3);
  prefixSize = size + 2;
}

namespace detail {

void NoteQuitBySignal() {
  quitRequested = true;
  quitBySignal = true;
}

std::string_view ProgramPrefix() {
  return std::string_view(prefix, prefixSize);
}

}  // namespace detail
}  // namespace platform
