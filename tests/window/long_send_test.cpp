// A send with pauses between its bytes keeps the window alive: it paints and answers the
// desktop, while the user's other actions, received bytes and ticks wait for the send to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QTest>
#include <QWindow>
#include <functional>
#include <mutex>
#include <thread>

#include "expected_texts.h"
#include "platform/thread/thread.h"
#include "window_rig.h"

namespace {

// Runs routines handed over from another thread on the main thread, each in a posted event.
// The event is posted and read under a lock of its own, which orders the main thread's read
// after the other thread's write for the thread checker; the toolkit's queue locking and the
// atomic count of a functor posted with invokeMethod are invisible to it.
class MainThreadRunner : public QObject {
 public:
  void Post(std::function<void()> routine) {
    const std::lock_guard<std::mutex> lock(mutex_);
    QCoreApplication::postEvent(this, new Call(std::move(routine)));
  }

 protected:
  bool event(QEvent* e) override {
    { const std::lock_guard<std::mutex> lock(mutex_); }
    if (e->type() != Call::kType) return QObject::event(e);
    static_cast<Call*>(e)->routine();
    return true;
  }

 private:
  struct Call : QEvent {
    static constexpr auto kType = static_cast<QEvent::Type>(QEvent::User + 1);
    explicit Call(std::function<void()> r) : QEvent(kType), routine(std::move(r)) {}
    std::function<void()> routine;
  };
  std::mutex mutex_;
};

const std::string kChoosePort = Cp(expected::kChoosePort);

// A click as the window system delivers it: to the top-level window, at the widget's middle.
void ClickFromDesktop(QWidget* widget) {
  QWidget* top = widget->window();
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                    widget->mapTo(top, widget->rect().center()));
}

class LongSend : public WindowTest {
 protected:
  LongSend() {
    Drain(1);
    Create();
    form->show();
    Open(1);
    form->EditASCII->setText(QString::fromLatin1(QByteArray("065").repeated(kBytes)));
    form->EditSleep->setText(QStringLiteral("100"));
  }

  // Once the first byte of the send is out (and whatever wait() asks for), runs act on the
  // main thread, from inside the send's pause.
  void WhenSendRuns(
      size_t sentBefore, std::function<void()> act, std::function<void()> wait = [] {}) {
    helper_ = std::thread([this, sentBefore, act = std::move(act), wait = std::move(wait)] {
      drained[1]->WaitForCount(sentBefore + 1);
      wait();
      runner_.Post(act);
    });
  }
  ~LongSend() override {
    if (helper_.joinable()) helper_.join();
  }

  static constexpr int kBytes = 20;
  MainThreadRunner runner_;
  std::thread helper_;
};

TEST_F(LongSend, StopTakesEffectAtOnceWhileOtherClicksAndReceivedBytesWaitForItsEnd) {
  // The button is seen repainted as "periyodik" while the send still runs.
  struct PaintProbe : QObject {
    QToolButton* button;
    PtyLine* line;
    bool stoppedMidSend = false;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Paint && button->text() == expected::kPeriodic &&
          line->Count() < kBytes) {
        stoppedMidSend = true;
      }
      return QObject::eventFilter(o, e);
    }
  } probe;
  probe.button = form->SpeedButton1;
  probe.line = drained[1].get();
  form->SpeedButton1->installEventFilter(&probe);

  bool receivedMidSend = true;
  WhenSendRuns(
      0,
      [&] {
        receivedMidSend = !form->Memo[1]->Lines().empty();
        ClickFromDesktop(form->SpeedButton2);  // waits: a second send after this one
        ClickFromDesktop(form->SpeedButton1);  // "STOP!"
      },
      [&] {
        drained[1]->Reply("xyz");
        while (form->PortCalls().Pending() == 0) std::this_thread::yield();
      });
  form->EditInterval->setText(QStringLiteral("10"));
  form->SpeedButton1->click();  // periodic on: its first tick starts the send
  ASSERT_TRUE(WaitUntil([&] { return drained[1]->Count() >= 2 * kBytes; }));
  EXPECT_FALSE(receivedMidSend);
  EXPECT_TRUE(probe.stoppedMidSend);
  EXPECT_FALSE(form->TimerSensor.Enabled());
  EXPECT_EQ(Sent(1), Bytes(2 * kBytes, 65));  // the tick's send and the held click's
  EXPECT_TRUE(WaitForInLastLine(1, "z(122)"));
}

TEST_F(LongSend, UntickingItsPortOrClosingTheWindowEndsItAndHeldClicksRunAfter) {
  const struct {
    const char* name;
    std::function<void()> act;
    bool windowOpen;
    std::vector<std::string> boxes;
  } rows[] = {
      {"un-tick",
       [&] {
         ClickFromDesktop(form->SpeedButton2);  // held, then finds no port
         ClickFromDesktop(form->CheckBox[1]);
       },
       true,
       {kChoosePort}},
      {"close",
       [&] {
         QCloseEvent close;
         QCoreApplication::sendEvent(form->windowHandle(), &close);
       },
       false,
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (!Port(1)) Open(1);
    boxes.Messages.clear();
    WhenSendRuns(0, row.act);
    form->SpeedButton2->click();
    helper_.join();
    EXPECT_TRUE(WaitUntil([&] { return boxes.Messages.size() >= row.boxes.size(); }));
    EXPECT_EQ(boxes.Messages, row.boxes);
    EXPECT_LT(Sent(1).size(), static_cast<size_t>(kBytes));
    EXPECT_EQ(form->isVisible(), row.windowOpen);
    EXPECT_EQ(Port(1) == nullptr, row.windowOpen);
  }
}

}  // namespace
