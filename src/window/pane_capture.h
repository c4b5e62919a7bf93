#pragma once
// PaneCapture: a pane recorded to a file of its own from a moment on. The file gets what the
// program puts into the pane from then on (lines and received entries, not what the user
// types), in the pane's saved form: CP1254, CR LF after each line; lines the pane later drops
// stay in it.
//
// Text collects here and goes to the file's own thread at each HandOver or once a good amount
// has collected; the disk never holds up the pane. A file that cannot be written, or a disk so
// slow that kMaxWaiting bytes wait for it, ends the recording: Failure() then says why, in the
// window's Turkish, and the pane goes on without it. Main thread only.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files/background_file.h"
#include "window/log_lines.h"

class PaneCapture : public LogLines::Listener {
 public:
  static constexpr uint64_t kMaxWaiting = 64u << 20;

  // Records into a new file at path, or, where a file of that name is, at the first free one
  // of path with -2, -3, ... before its extension. nullptr, with the system's reason, when no
  // file can be made.
  static std::unique_ptr<PaneCapture> Start(const std::string& path, std::string& reason);
  ~PaneCapture();

  const std::string& Path() const { return path_; }
  // Hands the collected text to the file's thread.
  void HandOver();
  // Ends the recording: the last line gets its break, and everything goes to the disk within
  // deadline if it can. False when the file failed, Failure() then saying why, or when it
  // could not all be written in time (the file's thread then finishes it on its own).
  bool End(std::chrono::milliseconds deadline);
  // Why the recording stopped early, or its last text could not be written at its end; empty
  // while it goes on.
  std::string Failure() const;

  void Added(std::string_view text, bool newLine) override;
  void Dropping(const std::string&) override {}

 private:
  PaneCapture(std::string path, std::unique_ptr<platform::WritableFile> file);

  const std::string path_;
  std::unique_ptr<platform::BackgroundFile> file_;
  std::string collected_;
  uint64_t handedOver_ = 0;  // bytes handed to the file's thread: where collected_ goes
  bool lineOpen_ = false;    // the file's last line may still grow: its break is not written
  std::string failure_;
};

// The name a recording of port n begins with: comN-YYYYMMDD-HHMMSS.txt, from the local time
// given (year, month, day, hour, minute, second).
std::string CaptureFileName(int n, int year, int month, int day, int hour, int minute, int second);
