#pragma once
// TThread: a worker thread object with the properties the port layer relies on.
//
// - Created suspended, it runs from its first Resume; created running, it starts from the
//   main thread's event loop once construction is over.
// - Suspend and Resume are counted. Suspension is cooperative: the worker parks at its next
//   call of CheckSuspended and delivers nothing meanwhile.
// - Terminate only sets the flag that Execute tests.
// - Synchronize hands a routine to the main thread and waits for it to run there; what the
//   routine throws is thrown again in the worker. Called on the main thread it runs at once.
// - StopThread (which every derived destructor calls first) ends the thread without deadlock:
//   it drops this thread's deliveries that have not run, releases their waiter, wakes a
//   suspended thread so that it ends, and joins it. Nothing runs against the object after.
//   Calling it again does nothing. A started thread that reaches the base destructor
//   unstopped aborts the program with a message, in every build.
//
// Everything but Execute, CheckSuspended and Synchronize is for the main thread.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

// Thrown out of Synchronize when the object is being destroyed and the delivery was dropped.
class ThreadAbandoned : public std::exception {
 public:
  const char* what() const noexcept override { return "thread abandoned"; }
};

class TThread {
 public:
  explicit TThread(bool createSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Resume();
  void Suspend();
  void Terminate() { terminated_ = true; }
  bool Suspended() const;
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  void SetPriorityBelowNormal();  // applies when the thread starts (a positive nice value)

  // Runs queued deliveries of every thread; for the main thread's event handling and tests.
  static void RunPendingCalls();
  // Calls handed over and not yet taken up by the main thread.
  static size_t PendingCalls();
  // While held (the calls nest), deliveries wait in their queue even where the main thread
  // processes its events; the last release lets them run from the event loop again. Main
  // thread only.
  static void HoldDeliveries();
  static void ReleaseDeliveries();

 protected:
  virtual void Execute() = 0;
  void Synchronize(const std::function<void()>& routine);
  // Parks while suspended; returns false once the thread is to end.
  bool CheckSuspended();
  void StopThread();
  // For a routine running on the main thread: true once the object it was handed over for
  // is being destroyed (from inside that routine's own handlers). The routine must then
  // return without touching the object.
  static bool DeliveryDropped();

 private:
  struct Shared;
  void Start();  // with Shared::mutex held
  void Body();

  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
};

}  // namespace platform
