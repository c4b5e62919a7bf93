#pragma once
// The program-wide request to end: set when the window is asked to close or the process gets
// SIGINT, SIGTERM or SIGHUP (the terminal closed, the ssh session gone). Blocking sends and waits
// poll it so that the program ends promptly even while the main thread is busy. Any thread may read
// it.
//
// After such a signal the program has 800 ms to end on its own; past that it says so on
// stderr, under the program's name, and ends at once with exit code 2, whatever the main
// thread is doing.

#include <functional>
#include <string_view>

namespace platform {

void RequestQuit();  // async-signal-safe
bool QuitRequested();
// True once such a signal came: nobody may be at the screen to answer a box.
bool QuitBySignal();
void ResetQuitRequest();
// The name the program's stderr line begins with ("wirelab", "wirelab-cli"); "WireLab" until
// a program sets its own. Set before InstallQuitSignals; a longer name is cut at 40 bytes.
void SetProgramName(std::string_view name);
// Routes SIGINT, SIGTERM and SIGHUP to RequestQuit and, from the main thread's event loop, to
// onQuit (which closes the message boxes that are open, where there are any). SIGPIPE is
// ignored from then on, for good: a write to a reader that has gone fails instead.
void InstallQuitSignals(std::function<void()> onQuit);
// Gives SIGINT, SIGTERM and SIGHUP back to their defaults, stops the 800 ms bound and forgets
// onQuit and any wake-up pending.
void RemoveQuitSignals();

}  // namespace platform
