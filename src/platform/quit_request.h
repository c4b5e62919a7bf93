#pragma once
// The program-wide request to end: set when the window is asked to close or the process gets
// SIGINT or SIGTERM. Blocking sends and waits poll it so that the program ends promptly even
// while the main thread is busy. Any thread may read it.
//
// After SIGINT or SIGTERM the program has 800 ms to end on its own; past that it says so on
// stderr and ends at once with exit code 2, whatever the main thread is doing.

#include <functional>

namespace platform {

void RequestQuit();  // async-signal-safe
bool QuitRequested();
// True once SIGINT or SIGTERM came: nobody may be at the screen to answer a box.
bool QuitBySignal();
void ResetQuitRequest();
// Routes SIGINT and SIGTERM to RequestQuit and, from the main thread's event loop, to onQuit
// (which closes the message boxes that are open, where there are any).
void InstallQuitSignals(std::function<void()> onQuit);
// Gives SIGINT and SIGTERM back to their defaults, stops the 800 ms bound and forgets onQuit
// and any wake-up pending.
void RemoveQuitSignals();

}  // namespace platform
