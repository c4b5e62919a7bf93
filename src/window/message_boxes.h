#pragma once
// What the window needs from the toolkit beyond its widgets and its clock: the modal message
// box and the application's default error report. The program makes one MessageBoxes and hands
// it to its window. Main thread only.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

class QMessageBox;

namespace platform {

class MessageBoxes {
 public:
  MessageBoxes() = default;
  virtual ~MessageBoxes() = default;
  MessageBoxes(const MessageBoxes&) = delete;
  MessageBoxes& operator=(const MessageBoxes&) = delete;

  // Shows a modal box with the CP1254 text and an OK button. Once the program is ending on a
  // signal the text goes to stderr instead.
  void Show(const std::string& text);
  // Closes every box that Show has open, as if its OK were pressed.
  void CloseAll();

  // The application's default error report: runs the handler and shows any error that leaves
  // it in a box, so that no exception crosses the event loop. An error that comes once the
  // program is ending on a signal, or whose box is still up when the signal comes, goes to
  // stderr and EndsWithError becomes true.
  void Guarded(const std::function<void()>& handler);
  bool EndsWithError() const { return endsWithError_; }
  // An error of the window's last moments, when no box can show it any more: it goes to
  // stderr and the program ends with exitCode (1 an error, 2 what could not end in time).
  void ReportAtEnd(const std::string& text, int exitCode);
  // The program's exit code for what went to stderr instead of a box; 0 when nothing did.
  int EndCode() const { return std::max(endCode_, endsWithError_ ? 1 : 0); }

 protected:
  // Puts the box up and returns once it is answered. Tests take the text instead.
  virtual void Present(const std::string& text);

 private:
  void Report(const std::string& text);

  std::vector<QMessageBox*> open_;  // innermost last
  bool endsWithError_ = false;
  int endCode_ = 0;
};

}  // namespace platform
