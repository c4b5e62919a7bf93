#include "platform/thread/main_thread_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <atomic>

namespace platform {

// One synchronous call: written by the worker, run by the main thread; guarded by mutex_.
struct MainThreadCalls::Call {
  std::function<void()> routine;
  const void* owner = nullptr;
  bool done = false;
  std::atomic<bool> dropped{false};
  std::exception_ptr error;
};

bool MainThreadCalls::OnMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

namespace {

const QEvent::Type kRunCallsEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kStartEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class StartEvent : public QEvent {
 public:
  explicit StartEvent(std::function<void()> start) : QEvent(kStartEvent), Start(std::move(start)) {}
  std::function<void()> Start;
};

}  // namespace

// Lives in the main thread and runs what the workers hand over.
class MainThreadCalls::Dispatcher : public QObject {
 public:
  explicit Dispatcher(MainThreadCalls& calls) : calls_(calls) {}

  bool event(QEvent* e) override {
    {
      // Workers post their events while holding mutex_. Taking it here orders this read
      // after the post for tools that cannot see inside Qt's own queue locking.
      std::lock_guard<std::mutex> lock(calls_.mutex_);
    }
    if (e->type() == kRunCallsEvent) {
      calls_.RunPending();
      return true;
    }
    if (e->type() == kStartEvent) {
      static_cast<StartEvent*>(e)->Start();
      return true;
    }
    return QObject::event(e);
  }

 private:
  MainThreadCalls& calls_;
};

MainThreadCalls::MainThreadCalls() : dispatcher_(std::make_unique<Dispatcher>(*this)) {}

MainThreadCalls::~MainThreadCalls() = default;

void MainThreadCalls::WakeMainThread() {
  QCoreApplication::postEvent(dispatcher_.get(), new QEvent(kRunCallsEvent));
}

void MainThreadCalls::Later(std::function<void()> start) {
  QCoreApplication::postEvent(dispatcher_.get(), new StartEvent(std::move(start)));
}

void MainThreadCalls::Synchronize(const void* owner, const bool& refused,
                                  const std::function<void()>& routine) {
  auto call = std::make_shared<Call>();
  call->routine = routine;
  call->owner = owner;
  std::unique_lock<std::mutex> lock(mutex_);
  if (refused) throw ThreadAbandoned();
  const bool wasEmpty = queue_.empty();
  queue_.push_back(call);
  if (wasEmpty) WakeMainThread();
  callEnded_.wait(lock, [&] { return call->done || call->dropped; });
  if (call->dropped) throw ThreadAbandoned();
  if (call->error) std::rethrow_exception(call->error);
}

void MainThreadCalls::RunPending() {
  if (!OnMainThread()) return;
  if (holdDepth_ > 0) {
    heldWhileWaiting_ = true;
    return;
  }
  size_t budget;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    budget = queue_.size();
  }
  for (; budget > 0; --budget) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) return;
      call = queue_.front();
      queue_.pop_front();
      running_.push_back(call);
    }
    std::exception_ptr error;
    Call* const outer = innermost_;
    innermost_ = call.get();
    try {
      call->routine();
    } catch (...) {
      error = std::current_exception();
    }
    innermost_ = outer;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      running_.erase(std::find(running_.begin(), running_.end(), call));
      call->error = error;
      call->done = true;
    }
    callEnded_.notify_all();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!queue_.empty()) WakeMainThread();
}

void MainThreadCalls::Hold() {
  ++holdDepth_;
}

void MainThreadCalls::Release() {
  if (holdDepth_ == 0 || --holdDepth_ > 0 || !heldWhileWaiting_) return;
  heldWhileWaiting_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  WakeMainThread();
}

size_t MainThreadCalls::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool MainThreadCalls::CurrentCallDropped() const {
  return innermost_ != nullptr && innermost_->dropped;
}

void MainThreadCalls::Refuse(const void* owner, bool& refused) {
  {
    // Queued calls of owner never run; one already running (the object destroyed from inside
    // its own delivery) releases its waiter, so that joining the thread cannot wait on it.
    std::lock_guard<std::mutex> lock(mutex_);
    refused = true;
    auto ours = [owner](const std::shared_ptr<Call>& c) { return c->owner == owner; };
    for (auto& c : queue_) {
      if (ours(c)) c->dropped = true;
    }
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(), ours), queue_.end());
    for (auto& c : running_) {
      if (ours(c)) c->dropped = true;
    }
  }
  callEnded_.notify_all();
}

}  // namespace platform
