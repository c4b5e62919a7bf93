#include "platform/qt_clock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <QTimerEvent>
#include <algorithm>

#include "platform/quit_request.h"

namespace platform {
namespace {

class QtCountdown final : public Countdown {
 public:
  explicit QtCountdown(std::function<void()> due) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, std::move(due));
  }
  void Start(int32_t ms) override { timer_.start(ms); }
  void Stop() override { timer_.stop(); }

 private:
  QTimer timer_;
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
    // Wakes at the deadline at the latest; sleeps in the event loop until then.
    wake.Arm(static_cast<int>(left));
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

}  // namespace platform
