#pragma once
// A file written by a thread of its own, so that whoever hands text over never waits for the
// disk: a slow or stalled one holds up only that thread.
//
// Text goes to the file in the order it was handed over, each piece at its own offset. What
// was written reaches the disk itself (a sync) at most syncEvery later, and before the file is
// closed. After the first failure nothing more is written and Failure() says why. The public
// calls are for the owner's thread. The thread may still be stuck in a write when this object
// goes: it then writes what waits, syncs and closes the file, or ends with the process.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/files/file_io.h"

namespace platform {

class BackgroundFile {
 public:
  BackgroundFile(std::unique_ptr<WritableFile> file, std::chrono::milliseconds syncEvery);
  ~BackgroundFile();
  BackgroundFile(const BackgroundFile&) = delete;
  BackgroundFile& operator=(const BackgroundFile&) = delete;

  // Queues text for offset; with endHere the file ends after it.
  void Write(uint64_t offset, std::string text, bool endHere = false);
  // Bytes handed over and not yet written.
  uint64_t Waiting() const;
  // Waits until everything handed over is written and on the disk, or the file failed: true
  // then; false at the deadline.
  bool Settle(std::chrono::milliseconds deadline);
  // The system's words for the failure; empty while there is none.
  std::string Failure() const;

 private:
  struct Shared;
  static void Run(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
};

}  // namespace platform
