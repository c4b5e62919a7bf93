#pragma once
// Text written to an output stream by a thread of its own, so that whoever hands it over
// never waits for the stream: a pipe nobody reads or a stalled disk holds up only this
// thread. The text waiting is bounded by its caller (Push). The thread may still be stuck in
// a write when this object goes: it then ends with the process and touches nothing else.
//
// With a drop note, text refused by Push is counted, and the note for that count is written
// before the next text taken, or as soon as everything before it is written, whichever comes
// first: a reader that catches up learns what it missed without waiting for more text. The
// note is made on the writer's thread, from the count and the tag of the last text refused.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/files/output_stream.h"

class BackgroundWriter {
 public:
  // Called on the writer's thread, once, when a write fails; never after this object is
  // gone.
  using FailureHandler = std::function<void(platform::OutputStream::Result, const std::string&)>;
  // The line that says how many pushes were refused; called with the writer's lock held.
  using DropNote = std::function<std::string(size_t refused, const std::string& lastTag)>;

  BackgroundWriter(std::unique_ptr<platform::OutputStream> stream, FailureHandler onFailure,
                   DropNote dropNote = {});
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;

  // Queues text unless that would make more than maxWaiting bytes wait or the stream has
  // failed; false when it was not queued (a refused tag goes to the drop note; after a
  // failure nothing is counted).
  bool Push(std::string text, size_t maxWaiting, std::string_view tag = {});
  // Waits until all text pushed is written (or the stream failed); false at the deadline.
  bool Flush(std::chrono::milliseconds deadline);
  // How long text has been waiting without a write finishing; zero when none waits.
  std::chrono::milliseconds Stalled() const;

 private:
  struct Shared;
  static void Run(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
};
