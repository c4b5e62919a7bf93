#pragma once
// QtClock: the real Clock, on CLOCK_MONOTONIC and the Qt event loop.
//
// A countdown's tick does not run its handler inside the toolkit's timer event: the timer
// event posts a tick event (TimerTickEventType) to the countdown, and the handler runs when
// that event is handled. So a handler that handles messages itself (the periodic tick, and a
// loop started from inside it) lets the same countdown tick again meanwhile: the toolkit never
// delivers a timer whose event is still being handled. At most one tick of a countdown waits
// at a time; one that waits when the countdown stops or starts anew is dropped.

#include <QEvent>

#include "platform/time/clock.h"

class QObject;

namespace platform {

class QtClock final : public Clock {
 public:
  uint32_t Now() const override;
  void Sleep(uint32_t ms) override;
  void ProcessMessages() override;
  void ProcessMessagesFor(uint32_t ms) override;
  void PauseFor(uint32_t ms, const std::function<bool()>& stop) override;
  std::unique_ptr<Countdown> MakeCountdown(std::function<void()> due) override;
};

// The type of the event that carries a countdown's tick to its handler. An event filter that
// holds it and posts a copy later to the same receiver delays the tick, which is then dropped
// if the countdown stopped or started anew meanwhile.
QEvent::Type TimerTickEventType();
// True for the objects that receive a countdown's tick events.
bool IsCountdown(const QObject* receiver);

}  // namespace platform
