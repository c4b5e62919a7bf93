#pragma once
// What the window needs from the toolkit beyond its widgets and its clock: the modal message
// box and the application's default error report. Main thread only.

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

}  // namespace platform
