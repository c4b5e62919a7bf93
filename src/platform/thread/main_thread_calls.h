#pragma once
// MainThreadCalls: the synchronous calls that worker threads (TThread) hand to the main
// thread, and the hold that keeps them waiting.
//
// The owner of a group of threads makes one on the main thread, once the application object
// exists, and gives it to each of them; it outlives them all. A worker queues its call and
// wakes the main thread (a posted event), which runs the calls from its event loop or from
// RunPending. Everything public is for the main thread alone, except Pending.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// Thrown out of a synchronous call when its thread is being stopped and the call was dropped.
class ThreadAbandoned : public std::exception {
 public:
  const char* what() const noexcept override { return "thread abandoned"; }
};

class MainThreadCalls {
 public:
  MainThreadCalls();
  ~MainThreadCalls();
  MainThreadCalls(const MainThreadCalls&) = delete;
  MainThreadCalls& operator=(const MainThreadCalls&) = delete;

  // Runs the calls waiting now (not those queued meanwhile: the event loop gets its turn
  // before the next round). Does nothing off the main thread or while held.
  void RunPending();
  // Calls handed over and not yet taken up by the main thread.
  size_t Pending() const;
  // While held (the holds nest), calls wait in their queue even where the main thread
  // processes its events; the last release lets them run from the event loop again.
  void Hold();
  void Release();
  // For a routine running on the main thread: true once the thread it was handed over for is
  // being stopped (its object destroyed from inside the routine's own handlers). The routine
  // must then return without touching that object.
  bool CurrentCallDropped() const;

 private:
  friend class TThread;
  struct Call;
  static bool OnMainThread();
  class Dispatcher;

  // Hands routine over for owner and waits until it has run; what it threw is thrown again.
  // Throws ThreadAbandoned once refused is set (by Refuse), or when this call was dropped.
  void Synchronize(const void* owner, const bool& refused, const std::function<void()>& routine);
  // Drops owner's queued calls, releases the waiter of one running now and sets refused, so
  // that no new call of owner is taken. refused is guarded by this object.
  void Refuse(const void* owner, bool& refused);
  // Runs start from the main thread's event loop.
  void Later(std::function<void()> start);
  void WakeMainThread();  // with mutex_ held

  std::unique_ptr<Dispatcher> dispatcher_;
  mutable std::mutex mutex_;
  std::condition_variable callEnded_;
  std::deque<std::shared_ptr<Call>> queue_;
  std::vector<std::shared_ptr<Call>> running_;  // innermost last; nested event loops stack up
  int holdDepth_ = 0;                           // main thread only
  bool heldWhileWaiting_ = false;               // main thread only: calls came while held
  // The innermost running call, for the main thread alone: asked once per delivered byte,
  // so it is read without mutex_.
  Call* innermost_ = nullptr;
};

}  // namespace platform
