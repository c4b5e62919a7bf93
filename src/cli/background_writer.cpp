#include "cli/background_writer.h"

#include <thread>
#include <utility>

using SteadyClock = std::chrono::steady_clock;

struct BackgroundWriter::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::string waiting;
  bool writing = false;  // the thread has taken text and is writing it
  bool failed = false;
  bool ending = false;
  size_t refused = 0;  // pushes refused since the last drop note
  std::string lastRefusedTag;
  SteadyClock::time_point progress;  // the last write finished, or text came to an idle thread
  std::unique_ptr<platform::OutputStream> stream;
  FailureHandler onFailure;
  DropNote dropNote;

  void AddDropNote() {
    if (refused == 0) return;
    waiting += dropNote(refused, lastRefusedTag);
    refused = 0;
  }
};

BackgroundWriter::BackgroundWriter(std::unique_ptr<platform::OutputStream> stream,
                                   FailureHandler onFailure, DropNote dropNote)
    : shared_(std::make_shared<Shared>()) {
  shared_->stream = std::move(stream);
  shared_->onFailure = std::move(onFailure);
  shared_->dropNote = std::move(dropNote);
  std::thread(Run, shared_).detach();
}

BackgroundWriter::~BackgroundWriter() {
  std::lock_guard lock(shared_->mutex);
  shared_->ending = true;
  shared_->onFailure = nullptr;
  shared_->changed.notify_all();
}

bool BackgroundWriter::Push(std::string text, size_t maxWaiting, std::string_view tag) {
  std::lock_guard lock(shared_->mutex);
  if (shared_->failed) return false;
  if (shared_->waiting.size() + text.size() > maxWaiting) {
    if (shared_->dropNote) {
      ++shared_->refused;
      shared_->lastRefusedTag = tag;
    }
    return false;
  }
  if (shared_->waiting.empty() && !shared_->writing) shared_->progress = SteadyClock::now();
  shared_->AddDropNote();
  shared_->waiting += text;
  shared_->changed.notify_all();
  return true;
}

bool BackgroundWriter::Flush(std::chrono::milliseconds deadline) {
  std::unique_lock lock(shared_->mutex);
  return shared_->changed.wait_for(lock, deadline, [&] {
    return shared_->failed || (shared_->waiting.empty() && !shared_->writing);
  });
}

std::chrono::milliseconds BackgroundWriter::Stalled() const {
  std::lock_guard lock(shared_->mutex);
  if (shared_->failed || (shared_->waiting.empty() && !shared_->writing)) return {};
  return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() -
                                                               shared_->progress);
}

void BackgroundWriter::Run(std::shared_ptr<Shared> shared) {
  std::unique_lock lock(shared->mutex);
  for (;;) {
    shared->changed.wait(lock, [&] { return shared->ending || !shared->waiting.empty(); });
    if (shared->waiting.empty()) return;  // ending, with everything written
    std::string text = std::move(shared->waiting);
    shared->waiting.clear();
    shared->writing = true;
    lock.unlock();
    const platform::OutputStream::Result result = shared->stream->Write(text);
    lock.lock();
    shared->writing = false;
    shared->progress = SteadyClock::now();
    if (result != platform::OutputStream::Result::Written) {
      shared->failed = true;
      shared->waiting.clear();
      if (shared->onFailure) shared->onFailure(result, shared->stream->Reason());
      shared->changed.notify_all();
      return;
    }
    if (shared->waiting.empty()) shared->AddDropNote();
    shared->changed.notify_all();
  }
}
