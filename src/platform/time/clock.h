#pragma once
// Clock: the time the window and the command-line program live on. It gives the tick count,
// the main thread's waits and the countdowns under the toolkit timers. The program runs on
// QtClock; tests run on a clock they move by hand.
//
// Now may be read from any thread; everything else belongs to the main thread.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/time/ticks.h"

namespace platform {

// One countdown of a clock: Start begins a period of ms milliseconds (ms > 0), again and
// again until Stop; at the end of each period the clock calls the handler the countdown was
// made with, from the main thread's event handling. Destroying it stops it.
class Countdown {
 public:
  virtual ~Countdown() = default;
  virtual void Start(int32_t ms) = 0;
  virtual void Stop() = 0;
};

class Clock : public TickSource {
 public:
  // Blocks the main thread for ms milliseconds; nothing is handled meanwhile.
  virtual void Sleep(uint32_t ms) = 0;
  // Sleep in slices of 50 ms, ending early once stop() holds: the main thread stays blocked
  // but still sees a request to end.
  void SleepUnless(uint32_t ms, const std::function<bool()>& stop);
  // Handles the pending window messages once (timer ticks that are due included).
  virtual void ProcessMessages() = 0;
  // Handles messages for ms milliseconds, sleeping in the event loop meanwhile; ends early
  // once the program is to end.
  virtual void ProcessMessagesFor(uint32_t ms) = 0;
  // Runs the event loop for ms milliseconds, or less once stop() holds, for an event filter
  // that the caller has installed and that decides what is handled; socket notifiers wait.
  // Wakes at least every 50 ms to ask stop(), which is asked after everything handled.
  virtual void PauseFor(uint32_t ms, const std::function<bool()>& stop) = 0;
  virtual std::unique_ptr<Countdown> MakeCountdown(std::function<void()> due) = 0;
};

}  // namespace platform
