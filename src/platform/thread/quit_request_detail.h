#pragma once
// What the system files of the request to end share (quit_request.cpp).

#include <chrono>
#include <string_view>

namespace platform::detail {

// How long the program may take to end on its own once the system asked it to.
constexpr std::chrono::milliseconds kEndBound{800};

// The request to end came from the system: a signal, a closed console. Async-signal-safe.
void NoteQuitBySignal();
// "wirelab-cli: ", the program's name as stderr lines begin with it. Kept ready, so that a
// signal handler may write it.
std::string_view ProgramPrefix();

}  // namespace platform::detail
