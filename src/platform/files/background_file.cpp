#include "platform/files/background_file.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace platform {

using SteadyClock = std::chrono::steady_clock;

struct BackgroundFile::Shared {
  struct Piece {
    uint64_t offset;
    std::string text;
    bool endHere;
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Piece> pieces;
  uint64_t waiting = 0;
  bool busy = false;      // the thread writes or syncs outside the lock
  bool unsynced = false;  // written since the last sync
  bool settleWanted = false;
  bool ending = false;
  std::string failure;
  std::unique_ptr<WritableFile> file;
  std::chrono::milliseconds syncEvery{};

  bool Settled() const { return !failure.empty() || (pieces.empty() && !busy && !unsynced); }
};

BackgroundFile::BackgroundFile(std::unique_ptr<WritableFile> file,
                               std::chrono::milliseconds syncEvery)
    : shared_(std::make_shared<Shared>()) {
  shared_->file = std::move(file);
  shared_->syncEvery = syncEvery;
  std::thread(Run, shared_).detach();
}

BackgroundFile::~BackgroundFile() {
  std::lock_guard lock(shared_->mutex);
  shared_->ending = true;
  shared_->changed.notify_all();
}

void BackgroundFile::Write(uint64_t offset, std::string text, bool endHere) {
  std::lock_guard lock(shared_->mutex);
  if (!shared_->failure.empty()) return;
  shared_->waiting += text.size();
  shared_->pieces.push_back({offset, std::move(text), endHere});
  shared_->changed.notify_all();
}

uint64_t BackgroundFile::Waiting() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->waiting;
}

bool BackgroundFile::Settle(std::chrono::milliseconds deadline) {
  std::unique_lock lock(shared_->mutex);
  shared_->settleWanted = true;
  shared_->changed.notify_all();
  return shared_->changed.wait_for(lock, deadline, [&] { return shared_->Settled(); });
}

std::string BackgroundFile::Failure() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->failure;
}

void BackgroundFile::Run(std::shared_ptr<Shared> shared) {
  WritableFile& file = *shared->file;
  std::unique_lock lock(shared->mutex);
  SteadyClock::time_point synced = SteadyClock::now();
  auto sync = [&] {
    shared->busy = true;
    lock.unlock();
    const bool ok = file.Sync();
    lock.lock();
    shared->busy = false;
    shared->unsynced = false;
    synced = SteadyClock::now();
    if (!ok) shared->failure = file.Reason();
  };
  while (shared->failure.empty()) {
    if (!shared->pieces.empty()) {
      std::deque<Shared::Piece> pieces = std::move(shared->pieces);
      shared->pieces.clear();
      shared->busy = true;
      lock.unlock();
      bool ok = true;
      uint64_t written = 0;
      for (const Shared::Piece& piece : pieces) {
        ok = file.WriteAt(piece.offset, piece.text) &&
             (!piece.endHere || file.Truncate(piece.offset + piece.text.size()));
        if (!ok) break;
        written += piece.text.size();
      }
      lock.lock();
      shared->busy = false;
      shared->unsynced = true;
      shared->waiting -= written;
      if (!ok) shared->failure = file.Reason();
    } else if (shared->unsynced) {
      const SteadyClock::time_point due = synced + shared->syncEvery;
      if (shared->ending || shared->settleWanted || SteadyClock::now() >= due) {
        sync();
      } else {
        shared->changed.wait_until(lock, due, [&] {
          return !shared->pieces.empty() || shared->ending || shared->settleWanted;
        });
        continue;
      }
    } else {
      shared->settleWanted = false;
      if (shared->ending) break;
      shared->changed.wait(lock, [&] { return !shared->pieces.empty() || shared->ending; });
      continue;
    }
    shared->changed.notify_all();
  }
  if (!shared->failure.empty()) {
    shared->pieces.clear();
    shared->waiting = 0;
  }
  shared->changed.notify_all();
  lock.unlock();
  file.Close();
}

}  // namespace platform
