#include "window/send_hold.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "platform/time/qt_clock.h"

namespace {

bool IsMouseGestureEvent(QEvent::Type type) {
  return type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::MouseButtonRelease || type == QEvent::MouseMove;
}

bool IsOtherInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::NativeGesture:
      return true;
    default:
      return false;
  }
}

// The widget under a mouse event that the window system gave to a top-level window.
QWidget* WidgetUnder(QObject* window, const QMouseEvent* event) {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->windowHandle() != window) continue;
    QWidget* child = top->childAt(event->position().toPoint());
    return child != nullptr ? child : top;
  }
  return nullptr;
}

// Timers that the program set (QTimer and single-shot timers), as against the toolkit's own
// timers inside widgets (cursor blink, animations), which go on.
bool IsProgramTimer(const QObject* receiver) {
  return receiver->inherits("QTimer") || receiver->inherits("QSingleShotTimer");
}

// Makes the event again, as it is now, when it is replayed. Mouse and wheel events of this
// toolkit share their point with every other event of the device, and the next one moves it,
// so a copy kept for later would change under it: those are rebuilt from their values just
// before they are sent.
std::function<QEvent*()> Remake(const QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove: {
      const auto* e = static_cast<const QMouseEvent*>(event);
      return [type = e->type(), local = e->position(), scene = e->scenePosition(),
              global = e->globalPosition(), button = e->button(), buttons = e->buttons(),
              modifiers = e->modifiers(), device = e->pointingDevice(),
              time = e->timestamp()]() -> QEvent* {
        auto* made =
            new QMouseEvent(type, local, scene, global, button, buttons, modifiers, device);
        made->setTimestamp(time);
        return made;
      };
    }
    case QEvent::Wheel: {
      const auto* e = static_cast<const QWheelEvent*>(event);
      return [local = e->position(), global = e->globalPosition(), pixels = e->pixelDelta(),
              angle = e->angleDelta(), buttons = e->buttons(), modifiers = e->modifiers(),
              phase = e->phase(), inverted = e->inverted(), source = e->source(),
              device = e->pointingDevice(), time = e->timestamp()]() -> QEvent* {
        auto* made = new QWheelEvent(local, global, pixels, angle, buttons, modifiers, phase,
                                     inverted, source, device);
        made->setTimestamp(time);
        return made;
      };
    }
    default: {
      std::shared_ptr<QEvent> copy(event->clone());
      return [copy] { return copy->clone(); };
    }
  }
}

}  // namespace

SendHold::SendHold(platform::Clock& clock, platform::MainThreadCalls& deliveries,
                   std::function<bool(QWidget*)> letThrough)
    : clock_(clock), deliveries_(deliveries), letThrough_(std::move(letThrough)) {
  deliveries_.Hold();
}

SendHold::~SendHold() {
  // The held input goes back in one step from the event loop, each event made and sent in
  // turn (see Remake).
  if (!heldInput_.empty()) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [held = std::make_shared<std::vector<Held>>(std::move(heldInput_))] {
          for (const Held& h : *held) {
            if (!h.receiver) continue;
            const std::unique_ptr<QEvent> event(h.make());
            QCoreApplication::sendEvent(h.receiver, event.get());
          }
        },
        Qt::QueuedConnection);
  }
  for (auto& [timer, id] : heldTicks_) {
    if (!timer) continue;
    QCoreApplication::postEvent(
        timer, id >= 0 ? new QTimerEvent(id) : new QEvent(platform::TimerTickEventType()));
  }
  deliveries_.Release();
}

void SendHold::Pause(uint32_t ms, const std::function<bool()>& stop) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app != nullptr) app->installEventFilter(this);
  clock_.PauseFor(ms, stop);
  if (app != nullptr) app->removeEventFilter(this);
}

bool SendHold::eventFilter(QObject* receiver, QEvent* event) {
  // The receiver is looked at before the event. The ports' threads post events to an object
  // of their own, which takes a lock before it reads them; between the post and this filter
  // there is only the toolkit's queue locking, which the thread checker cannot see, so this
  // filter leaves those events unread.
  if (IsProgramTimer(receiver) || platform::IsCountdown(receiver)) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Timer && type != platform::TimerTickEventType()) return false;
    const int id = type == QEvent::Timer ? static_cast<QTimerEvent*>(event)->timerId() : -1;
    const auto same = [&](const auto& tick) { return tick.first == receiver && tick.second == id; };
    if (std::none_of(heldTicks_.begin(), heldTicks_.end(), same)) {
      heldTicks_.emplace_back(receiver, id);
    }
    return true;
  }
  // Input reaches a top-level window first and goes on from there to the widget; it is
  // decided once, at the window.
  if (!receiver->isWindowType() || !HoldsInput(receiver, event)) return false;
  Hold(receiver, event);
  return true;
}

bool SendHold::HoldsInput(QObject* window, QEvent* event) {
  const QEvent::Type type = event->type();
  if (IsOtherInput(type)) return true;
  if (!IsMouseGestureEvent(type)) return false;
  const auto* mouse = static_cast<QMouseEvent*>(event);
  if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
    if (!gesture_) {
      gesture_ = true;
      gestureHeld_ = !letThrough_(WidgetUnder(window, mouse));
    }
    return gestureHeld_;
  }
  // A move with no button down goes with the held input, so that it keeps its place in it.
  const bool held = gesture_ ? gestureHeld_ : true;
  if (gesture_ && mouse->buttons() == Qt::NoButton) gesture_ = false;
  return held;
}

void SendHold::Hold(QObject* receiver, QEvent* event) {
  // Moves in a row keep only the last one, so that a long send holds a bounded number.
  const Qt::MouseButtons buttons = event->type() == QEvent::MouseMove
                                       ? static_cast<QMouseEvent*>(event)->buttons()
                                       : Qt::NoButton;
  if (event->type() == QEvent::MouseMove && !heldInput_.empty()) {
    Held& last = heldInput_.back();
    if (last.receiver == receiver && last.type == QEvent::MouseMove && last.buttons == buttons) {
      last.make = Remake(event);
      return;
    }
  }
  heldInput_.push_back(Held{receiver, event->type(), buttons, Remake(event)});
}
