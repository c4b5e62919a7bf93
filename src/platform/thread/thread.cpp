#include "platform/thread/thread.h"

#include <cstdio>
#include <cstdlib>

#include "platform/thread/thread_priority.h"

namespace platform {

// The per-object state that outlives a moment of destruction: the suspend count, the start
// and stop flags and the worker itself. Guarded by mutex.
struct TThread::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  int suspendCount = 0;
  bool startAllowed = false;  // false until construction is over for created-running objects
  bool started = false;
  bool stopped = false;  // StopThread ran: never start, leave the suspension at once
  bool belowNormal = false;
  TThread* owner = nullptr;   // cleared by StopThread
  bool callsRefused = false;  // guarded by the MainThreadCalls, not by mutex: see StopThread

  // Called from the main thread's event loop once construction is over (created-running
  // objects).
  void AllowStart() {
    std::lock_guard<std::mutex> lock(mutex);
    startAllowed = true;
    if (owner != nullptr && suspendCount == 0) owner->Start();
  }
};

TThread::TThread(MainThreadCalls& calls, bool createSuspended)
    : calls_(calls), shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
  shared_->suspendCount = createSuspended ? 1 : 0;
  shared_->startAllowed = createSuspended;
  if (!createSuspended) {
    std::weak_ptr<Shared> weak = shared_;
    calls_.Later([weak] {
      if (auto s = weak.lock()) s->AllowStart();
    });
  }
}

TThread::~TThread() {
  bool unstopped;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    unstopped = shared_->started && !shared_->stopped;
  }
  // Here the derived parts are already gone while the worker may still be running Execute
  // on them, so stopping it now would be too late. Leaving the stop to this destructor is a
  // programming error, and it ends the program in every build rather than race quietly.
  if (unstopped) {
    std::fputs(
        "TThread destroyed with its thread started and not stopped: the derived destructor "
        "must call StopThread() first\n",
        stderr);
    std::abort();
  }
  // A thread that never started (a derived constructor threw, or it was never resumed) ran
  // nothing against the derived parts; stopping it here is safe.
  StopThread();
}

void TThread::Resume() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->suspendCount == 0) return;
  if (--shared_->suspendCount > 0) return;
  if (!shared_->started) {
    if (shared_->startAllowed) Start();
  } else {
    shared_->wake.notify_all();
  }
}

void TThread::Suspend() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  ++shared_->suspendCount;
}

bool TThread::Suspended() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->suspendCount > 0;
}

void TThread::SetPriorityBelowNormal() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->belowNormal = true;
}

void TThread::Start() {
  if (shared_->started || shared_->stopped) return;
  shared_->started = true;
  thread_ = std::thread([this] { Body(); });
}

void TThread::Body() {
  bool belowNormal;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    belowNormal = shared_->belowNormal;
  }
  if (belowNormal) {
    LowerThisThreadPriority();
  }
  try {
    Execute();
  } catch (...) {
    // An error out of the thread body (a delivery's included) just ends the thread.
  }
  finished_ = true;
}

bool TThread::CheckSuspended() {
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->wake.wait(lock, [&] { return shared_->suspendCount == 0 || shared_->stopped; });
  return !shared_->stopped && !terminated_;
}

void TThread::Synchronize(const std::function<void()>& routine) {
  if (MainThreadCalls::OnMainThread()) {
    routine();
    return;
  }
  calls_.Synchronize(shared_.get(), shared_->callsRefused, routine);
}

void TThread::StopThread() {
  Terminate();
  calls_.Refuse(shared_.get(), shared_->callsRefused);

  std::thread worker;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->stopped = true;
    shared_->owner = nullptr;
    worker = std::move(thread_);
  }
  shared_->wake.notify_all();
  if (worker.joinable()) {
    if (worker.get_id() == std::this_thread::get_id()) {
      worker.detach();
    } else {
      worker.join();
    }
  }
}

}  // namespace platform
