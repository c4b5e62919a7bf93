#pragma once
// TThread: a worker thread object with the properties the port layer relies on.
//
// - Created suspended, it runs from its first Resume; created running, it starts from the
//   main thread's event loop once construction is over.
// - Suspend and Resume are counted. Suspension is cooperative: the worker parks at its next
//   call of CheckSuspended and delivers nothing meanwhile.
// - Terminate only sets the flag that Execute tests.
// - Synchronize hands a routine to the main thread, through the MainThreadCalls the object was
//   given, and waits for it to run there; what the routine throws is thrown again in the
//   worker. Called on the main thread it runs at once.
// - StopThread (which every derived destructor calls first) ends the thread without deadlock:
//   it drops this thread's deliveries that have not run, releases their waiter, wakes a
//   suspended thread so that it ends, and joins it. Nothing runs against the object after.
//   Calling it again does nothing. A started thread that reaches the base destructor
//   unstopped aborts the program with a message, in every build.
//
// Everything but Execute, CheckSuspended and Synchronize is for the main thread.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/thread/main_thread_calls.h"

namespace platform {

class TThread {
 public:
  // calls outlives the object.
  TThread(MainThreadCalls& calls, bool createSuspended);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Resume();
  void Suspend();
  void Terminate() { terminated_ = true; }
  bool Suspended() const;
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  void SetPriorityBelowNormal();  // applies when the thread starts
  MainThreadCalls& Calls() const { return calls_; }

 protected:
  virtual void Execute() = 0;
  void Synchronize(const std::function<void()>& routine);
  // Parks while suspended; returns false once the thread is to end.
  bool CheckSuspended();
  void StopThread();

 private:
  struct Shared;
  void Start();  // with Shared::mutex held
  void Body();

  MainThreadCalls& calls_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
};

}  // namespace platform
