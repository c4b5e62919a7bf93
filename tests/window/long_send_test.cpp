// A send with pauses between its bytes keeps the window alive: it paints and answers the
// desktop, while the user's other actions, received bytes and ticks wait for the send to end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QTest>
#include <QWindow>
#include <functional>
#include <thread>

#include "platform/thread.h"
#include "sender_window.h"

namespace {

const std::string kChoosePort = Cp("Lütfen bilginin hangi porta yazılacağını seçin.");

// A click as the window system delivers it: to the top-level window, at the widget's middle.
void ClickFromDesktop(QWidget* widget) {
  QWidget* top = widget->window();
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                    widget->mapTo(top, widget->rect().center()));
}

class LongSend : public testing::Test {
 protected:
  LongSend() {
    f.show();
    w.Open(1);
    f.EditASCII->setText(QString::fromLatin1(QByteArray("065").repeated(kBytes)));
    f.EditSleep->setText(QStringLiteral("100"));
  }

  // Once the first byte of the send is out (and whatever wait() asks for), runs act on the
  // main thread, from inside the send's pause.
  void WhenSendRuns(
      size_t sentBefore, std::function<void()> act, std::function<void()> wait = [] {}) {
    helper_ = std::thread([this, sentBefore, act = std::move(act), wait = std::move(wait)] {
      w.com1.WaitForCount(sentBefore + 1);
      wait();
      QMetaObject::invokeMethod(&f, act, Qt::QueuedConnection);
    });
  }
  ~LongSend() override {
    if (helper_.joinable()) helper_.join();
  }

  static constexpr int kBytes = 20;
  SenderWindow w{/*manualClock=*/false};
  TForm5& f = *w.form;
  std::thread helper_;
};

TEST_F(LongSend, StopTakesEffectAtOnceWhileOtherClicksAndReceivedBytesWaitForItsEnd) {
  // The button is seen repainted as "periyodik" while the send still runs.
  struct PaintProbe : QObject {
    QToolButton* button;
    PtyLine* line;
    bool stoppedMidSend = false;
    bool eventFilter(QObject* o, QEvent* e) override {
      if (e->type() == QEvent::Paint && button->text() == "periyodik" && line->Count() < kBytes) {
        stoppedMidSend = true;
      }
      return QObject::eventFilter(o, e);
    }
  } probe;
  probe.button = f.SpeedButton1;
  probe.line = &w.com1;
  f.SpeedButton1->installEventFilter(&probe);

  bool receivedMidSend = true;
  WhenSendRuns(
      0,
      [&] {
        receivedMidSend = !f.Memo[1]->Lines().empty();
        ClickFromDesktop(f.SpeedButton2);  // waits: a second send after this one
        ClickFromDesktop(f.SpeedButton1);  // "STOP!"
      },
      [&] {
        w.com1.Reply("xyz");
        while (platform::TThread::PendingCalls() == 0) std::this_thread::yield();
      });
  f.EditInterval->setText(QStringLiteral("10"));
  f.SpeedButton1->click();  // periodic on: its first tick starts the send
  ASSERT_TRUE(WaitUntil([&] { return w.com1.Count() >= 2 * kBytes; }));
  EXPECT_FALSE(receivedMidSend);
  EXPECT_TRUE(probe.stoppedMidSend);
  EXPECT_FALSE(f.TimerSensor.Enabled());
  EXPECT_EQ(w.com1.Sent(), Bytes(2 * kBytes, 65));  // the tick's send and the held click's
  EXPECT_TRUE(WaitUntil([&] { return f.Memo[1]->LastLine().find("z(122)") != std::string::npos; }));
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
         ClickFromDesktop(f.SpeedButton2);  // held, then finds no port
         ClickFromDesktop(f.CheckBox[1]);
       },
       true,
       {kChoosePort}},
      {"close",
       [&] {
         QCloseEvent close;
         QCoreApplication::sendEvent(f.windowHandle(), &close);
       },
       false,
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (!f.View().Ports[1]) w.Open(1);
    w.boxes.Messages.clear();
    WhenSendRuns(0, row.act);
    f.SpeedButton2->click();
    helper_.join();
    EXPECT_TRUE(WaitUntil([&] { return w.boxes.Messages.size() >= row.boxes.size(); }));
    EXPECT_EQ(w.boxes.Messages, row.boxes);
    EXPECT_LT(w.com1.Sent().size(), static_cast<size_t>(kBytes));
    EXPECT_EQ(f.isVisible(), row.windowOpen);
    EXPECT_EQ(f.View().Ports[1] == nullptr, row.windowOpen);
  }
}

}  // namespace
