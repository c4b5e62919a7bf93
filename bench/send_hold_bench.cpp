// How fast the window answers during a send with pauses between its bytes.
//
// The real window, offscreen and shown, sends 30 byte codes with "sleep" 100 on a
// pseudo-terminal (3 s). A probe thread posts a call to the main thread every 20 ms during the
// send and measures how long each waits to run. Then, in three more sends, the probe posts the
// click of "STOP!", the un-tick of the port's "Open" and the closing of the window, and the
// figures are the time from the post to the click taking effect and to the send returning.
// Prints figures; asserts nothing.

#include <unistd.h>

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "bench_stats.h"
#include "window_rig.h"

namespace {

using Clock = std::chrono::steady_clock;

void ClickFromDesktop(QWidget* widget) {
  QWidget* top = widget->window();
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {},
                    widget->mapTo(top, widget->rect().center()));
}

// The window on the real clock, port 1 open on a drained pty, a send of 30 bytes 100 ms apart.
struct Rig : WindowRig {
  Rig() {
    Drain(1);
    Create();
    form->show();
    Click(1);
    form->EditASCII->setText(QString::fromLatin1(QByteArray("065").repeated(30)));
    form->EditSleep->setText(QStringLiteral("100"));
  }
  size_t SentCount() { return drained[1]->Count(); }
};

// Starts a send by pressing Send (or, for "STOP!", periodic sending); once its first byte is
// out, posts act and measures to its end and to the send's return.
void Action(const char* name, const std::function<void(TForm5&)>& act, bool periodic) {
  Rig rig;
  TForm5& f = *rig.form;
  std::atomic<Clock::time_point> posted{}, acted{};
  std::thread probe([&] {
    while (rig.SentCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));  // into a pause
    posted = Clock::now();
    QMetaObject::invokeMethod(
        &f,
        [&] {
          act(f);
          acted = Clock::now();
        },
        Qt::QueuedConnection);
  });
  Clock::time_point returned;
  if (periodic) {
    f.EditInterval->setText(QStringLiteral("10"));
    f.SpeedButton1->click();
    WaitUntil([&] { return acted.load() != Clock::time_point{}; });
    WaitUntil([&] { return rig.SentCount() >= 30; });
    returned = Clock::now();
  } else {
    f.SpeedButton2->click();
    returned = Clock::now();
  }
  probe.join();
  std::printf(
      "%-28s took effect %7.2f ms after it came; send returned %8.2f ms after; "
      "%zu of 30 bytes sent\n",
      name, Ms(acted.load() - posted.load()), Ms(returned - posted.load()), rig.SentCount());
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  {
    Rig rig;
    std::vector<double> waits;
    std::atomic<bool> done{false};
    std::thread probe([&] {
      while (rig.SentCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      while (!done) {
        const Clock::time_point sent = Clock::now();
        std::atomic<bool> ran{false};
        Clock::time_point at{};
        QMetaObject::invokeMethod(
            rig.form.get(),
            [&] {
              at = Clock::now();
              ran = true;
            },
            Qt::QueuedConnection);
        while (!ran && !done) std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (ran) waits.push_back(Ms(at - sent));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    rig.form->SpeedButton2->click();
    done = true;
    probe.join();
    std::sort(waits.begin(), waits.end());
    if (!waits.empty()) {
      std::printf(
          "window answering during a 3 s send: %zu probes, wait median %.2f ms, "
          "max %.2f ms\n",
          waits.size(), waits[waits.size() / 2], waits.back());
    }
  }
  Action(
      "STOP!", [](TForm5& f) { ClickFromDesktop(f.SpeedButton1); }, true);
  Action(
      "un-ticking Open", [](TForm5& f) { ClickFromDesktop(f.CheckBox[1]); }, false);
  Action(
      "closing the window",
      [](TForm5& f) {
        QCloseEvent close;
        QCoreApplication::sendEvent(f.windowHandle(), &close);
      },
      false);
  return 0;
}
