#include "platform/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <vector>

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
  bool callsRefused = false;  // guarded by g_mutex, not by mutex: StopThread refuses new calls

  // Called from the dispatcher once construction is over (created-running objects).
  void AllowStart() {
    std::lock_guard<std::mutex> lock(mutex);
    startAllowed = true;
    if (owner != nullptr && suspendCount == 0) owner->Start();
  }
};

namespace {

// One synchronous call: written by the worker, run by the main thread; guarded by g_mutex.
struct Call {
  std::function<void()> routine;
  const void* owner = nullptr;  // the TThread::Shared of the object it was made for
  bool done = false;
  std::atomic<bool> dropped{false};
  std::exception_ptr error;
};

std::mutex g_mutex;
std::condition_variable g_callEnded;
std::deque<std::shared_ptr<Call>> g_queue;
std::vector<std::shared_ptr<Call>> g_running;  // innermost last; nested event loops stack up
int g_holdDepth = 0;                           // main thread only
bool g_heldWhileWaiting = false;               // main thread only: calls came while held
// The innermost running call, for the main thread alone: asked once per delivered byte, so
// it is read without g_mutex.
Call* g_innermost = nullptr;

bool OnMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

const QEvent::Type kRunCallsEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kStartEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class StartEvent : public QEvent {
 public:
  explicit StartEvent(std::function<void()> start) : QEvent(kStartEvent), Start(std::move(start)) {}
  std::function<void()> Start;
};

// Lives in the main thread and runs what the workers hand over. Made by the first TThread
// constructor (main thread) and kept for the life of the process.
class Dispatcher : public QObject {
 public:
  bool event(QEvent* e) override {
    {
      // Workers post their events while holding g_mutex. Taking it here orders this read
      // after the post for tools that cannot see inside Qt's own queue locking.
      std::lock_guard<std::mutex> lock(g_mutex);
    }
    if (e->type() == kRunCallsEvent) {
      TThread::RunPendingCalls();
      return true;
    }
    if (e->type() == kStartEvent) {
      static_cast<StartEvent*>(e)->Start();
      return true;
    }
    return QObject::event(e);
  }
};

std::atomic<Dispatcher*> g_dispatcher{nullptr};

Dispatcher* EnsureDispatcher() {
  Dispatcher* d = g_dispatcher.load(std::memory_order_acquire);
  if (d == nullptr && OnMainThread()) {
    d = new Dispatcher;
    g_dispatcher.store(d, std::memory_order_release);
  }
  return d;
}

}  // namespace

TThread::TThread(bool createSuspended) : shared_(std::make_shared<Shared>()) {
  shared_->owner = this;
  shared_->suspendCount = createSuspended ? 1 : 0;
  shared_->startAllowed = createSuspended;
  Dispatcher* d = EnsureDispatcher();
  if (!createSuspended && d != nullptr) {
    std::weak_ptr<Shared> weak = shared_;
    QCoreApplication::postEvent(d, new StartEvent([weak] {
                                  if (auto s = weak.lock()) s->AllowStart();
                                }));
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
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
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
  if (OnMainThread()) {
    routine();
    return;
  }
  auto call = std::make_shared<Call>();
  call->routine = routine;
  call->owner = shared_.get();
  std::unique_lock<std::mutex> lock(g_mutex);
  if (shared_->callsRefused) throw ThreadAbandoned();
  const bool wasEmpty = g_queue.empty();
  g_queue.push_back(call);
  if (wasEmpty) {
    if (Dispatcher* d = g_dispatcher.load(std::memory_order_acquire)) {
      QCoreApplication::postEvent(d, new QEvent(kRunCallsEvent));
    }
  }
  g_callEnded.wait(lock, [&] { return call->done || call->dropped; });
  if (call->dropped) throw ThreadAbandoned();
  if (call->error) std::rethrow_exception(call->error);
}

void TThread::RunPendingCalls() {
  if (!OnMainThread()) return;
  if (g_holdDepth > 0) {
    g_heldWhileWaiting = true;
    return;
  }
  // Only the calls waiting now: busy ports keep queueing while these run, and the event loop
  // must get its turn (paints, clicks, timers) before the next round.
  size_t budget;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    budget = g_queue.size();
  }
  for (; budget > 0; --budget) {
    std::shared_ptr<Call> call;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      if (g_queue.empty()) return;
      call = g_queue.front();
      g_queue.pop_front();
      g_running.push_back(call);
    }
    std::exception_ptr error;
    Call* const outer = g_innermost;
    g_innermost = call.get();
    try {
      call->routine();
    } catch (...) {
      error = std::current_exception();
    }
    g_innermost = outer;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      g_running.erase(std::find(g_running.begin(), g_running.end(), call));
      call->error = error;
      call->done = true;
    }
    g_callEnded.notify_all();
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_queue.empty()) {
    if (Dispatcher* d = g_dispatcher.load(std::memory_order_acquire)) {
      QCoreApplication::postEvent(d, new QEvent(kRunCallsEvent));
    }
  }
}

void TThread::HoldDeliveries() {
  ++g_holdDepth;
}

void TThread::ReleaseDeliveries() {
  if (g_holdDepth == 0 || --g_holdDepth > 0 || !g_heldWhileWaiting) return;
  g_heldWhileWaiting = false;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Dispatcher* d = g_dispatcher.load(std::memory_order_acquire)) {
    QCoreApplication::postEvent(d, new QEvent(kRunCallsEvent));
  }
}

size_t TThread::PendingCalls() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_queue.size();
}

bool TThread::DeliveryDropped() {
  return g_innermost != nullptr && g_innermost->dropped;
}

void TThread::StopThread() {
  Terminate();
  {
    // Queued calls of this thread never run; one already running (the object destroyed from
    // inside its own delivery) releases its waiter, so the join below cannot wait on it.
    std::lock_guard<std::mutex> lock(g_mutex);
    const void* owner = shared_.get();
    shared_->callsRefused = true;
    auto ours = [owner](const std::shared_ptr<Call>& c) { return c->owner == owner; };
    for (auto& c : g_queue) {
      if (ours(c)) c->dropped = true;
    }
    g_queue.erase(std::remove_if(g_queue.begin(), g_queue.end(), ours), g_queue.end());
    for (auto& c : g_running) {
      if (ours(c)) c->dropped = true;
    }
  }
  g_callEnded.notify_all();

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
