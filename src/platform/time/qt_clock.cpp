#include "platform/time/qt_clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>

#include "platform/thread/quit_request.h"

namespace platform {
namespace {

class QtCountdown final : public QObject, public Countdown {
 public:
  explicit QtCountdown(std::function<void()> due) : due_(std::move(due)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { PostTick(); });
  }

  void Start(int32_t ms) override {
    waiting_ = false;
    timer_.start(ms);
  }
  void Stop() override {
    waiting_ = false;
    timer_.stop();
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != TimerTickEventType()) return QObject::event(e);
    if (!waiting_) return true;  // stopped or started anew since it was posted
    waiting_ = false;
    // From a copy: the handler may destroy this countdown.
    const std::function<void()> due = due_;
    due();
    return true;
  }

 private:
  void PostTick() {
    if (waiting_) return;
    waiting_ = true;
    QCoreApplication::postEvent(this, new QEvent(TimerTickEventType()));
  }

  std::function<void()> due_;
  QTimer timer_;
  bool waiting_ = false;  // a tick is posted and not yet handled
};

// Wakes a waiting event loop once. Not a QTimer: a filter that holds the program's timers
// lets it through.
class Waker final : public QObject {
 public:
  ~Waker() override { Disarm(); }
  void Arm(int ms) {
    Disarm();
    id_ = startTimer(ms, Qt::PreciseTimer);
  }
  void Disarm() {
    if (id_ != 0) killTimer(id_);
    id_ = 0;
  }

 protected:
  void timerEvent(QTimerEvent*) override { Disarm(); }

 private:
  int id_ = 0;
};

}  // namespace

uint32_t QtClock::Now() const {
  return GetTickCount();
}

void QtClock::Sleep(uint32_t ms) {
  RealSleep(ms);
}

void QtClock::ProcessMessages() {
  if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
}

void QtClock::ProcessMessagesFor(uint32_t ms) {
  if (QCoreApplication::instance() == nullptr) {
    RealSleep(ms);
    return;
  }
  const QDeadlineTimer deadline(static_cast<qint64>(ms), Qt::PreciseTimer);
  QCoreApplication::processEvents();
  Waker wake;
  while (!deadline.hasExpired() && !QuitRequested()) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0) break;
    // Sleeps in the event loop and wakes at the deadline at the latest. The Windows event
    // loop does not come back after a timer's event alone, so a request to end made in one
    // is seen at the next wake: every 50 ms.
    wake.Arm(static_cast<int>(std::min<qint64>(left, 50)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void QtClock::PauseFor(uint32_t ms, const std::function<bool()>& stop) {
  if (QCoreApplication::instance() == nullptr) {
    RealSleep(ms);
    return;
  }
  const QDeadlineTimer deadline(static_cast<qint64>(ms), Qt::PreciseTimer);
  Waker wake;
  while (!stop()) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0) break;
    // A signal to end sets its flag without an event, hence the 50 ms.
    wake.Arm(static_cast<int>(std::min<qint64>(left, 50)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
  }
}

std::unique_ptr<Countdown> QtClock::MakeCountdown(std::function<void()> due) {
  return std::make_unique<QtCountdown>(std::move(due));
}

QEvent::Type TimerTickEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

bool IsCountdown(const QObject* receiver) {
  return dynamic_cast<const QtCountdown*>(receiver) != nullptr;
}

}  // namespace platform
