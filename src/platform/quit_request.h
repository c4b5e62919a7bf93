#pragma once
// The program-wide request to end: set when the window is asked to close or the process gets
// SIGINT or SIGTERM. Blocking sends and waits poll it so that the program ends promptly even
// while the main thread is busy. Any thread may read it.

#include <functional>

namespace platform {

void RequestQuit();  // async-signal-safe
bool QuitRequested();
void ResetQuitRequest();
// Routes SIGINT and SIGTERM to RequestQuit and, from the main thread's event loop, to onQuit.
void InstallQuitSignals(std::function<void()> onQuit);
// Gives SIGINT and SIGTERM back to their defaults and forgets onQuit and any wake-up pending.
void RemoveQuitSignals();

}  // namespace platform
