#pragma once
// What the window needs from the toolkit beyond its widgets: the modal message box, the
// application's default error report, and waiting while pending messages are processed.
// Main thread only.

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// Shows a modal box with the CP1254 text and an OK button. Tests replace it. Once the program
// is ending on a signal the text goes to stderr instead.
void ShowMessage(const std::string& text);
// Closes every box that ShowMessage has open, as if its OK were pressed.
void CloseMessageBoxes();
using MessageBoxHandler = std::function<void(const std::string& text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);  // empty: the real box again

// The application's default error report: runs the handler and shows any error that leaves
// it in the message box, so that no exception crosses the event loop. Once the program is
// ending on a signal the error goes to stderr and EndsWithError becomes true.
void Guarded(const std::function<void()>& handler);
bool EndsWithError();

// Processes the pending window messages once.
void ProcessMessages();
// Processes messages for at most ms milliseconds, sleeping in the event loop meanwhile.
// In manual tick mode it advances the counter by ms and processes once.
void ProcessMessagesFor(uint32_t ms);

}  // namespace platform
