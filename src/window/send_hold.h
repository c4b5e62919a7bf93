#pragma once
// SendHold: what the window handles while a send with pauses between its bytes runs.
//
// A send's bytes and pauses go out in order with nothing else handled in the middle of them:
// no received byte, no tick of a program timer, no other send. Yet the window must stay alive
// through a pause that may last hours. So while a SendHold exists, its pauses run the event
// loop with a filter over it:
// - painting, window-system events (expose, resize, move, activation) and closing the window
//   go through;
// - a mouse gesture (press to release) goes through only when it starts on a widget that the
//   owner lets through at that moment; every other gesture, key, wheel and input-method event
//   is held;
// - ticks of program timers and of the clock's countdowns are held (one per timer),
//   deliveries of received bytes wait in their queue, socket notifiers wait.
// When the hold ends, what it held goes back to the event loop in the order it came, so the
// user's actions take effect after the send instead of being lost. Holds nest (a send started
// from inside a pause holds on top of the outer one). Main thread only.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/thread/main_thread_calls.h"
#include "platform/time/clock.h"

class QWidget;

class SendHold : public QObject {
 public:
  // The pauses run on clock; deliveries are the calls through which the ports' received bytes
  // arrive. Both outlive the hold.
  SendHold(platform::Clock& clock, platform::MainThreadCalls& deliveries,
           std::function<bool(QWidget*)> letThrough);
  ~SendHold() override;
  SendHold(const SendHold&) = delete;
  SendHold& operator=(const SendHold&) = delete;

  // Waits ms milliseconds on the clock, or less once stop() holds; stop is asked after
  // everything that went through.
  void Pause(uint32_t ms, const std::function<bool()>& stop);

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override;

 private:
  bool HoldsInput(QObject* window, QEvent* event);
  void Hold(QObject* receiver, QEvent* event);

  struct Held {
    QPointer<QObject> receiver;
    QEvent::Type type;
    Qt::MouseButtons buttons;  // of a move
    std::function<QEvent*()> make;
  };
  platform::Clock& clock_;
  platform::MainThreadCalls& deliveries_;
  std::function<bool(QWidget*)> letThrough_;
  std::vector<Held> heldInput_;
  // The timer object and its timer id, or -1 for a clock's tick event.
  std::vector<std::pair<QPointer<QObject>, int>> heldTicks_;
  bool gesture_ = false;      // a mouse button is down since a press seen here
  bool gestureHeld_ = false;  // and that press was held
};
