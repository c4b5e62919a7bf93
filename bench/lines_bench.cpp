// How soon a change of an input line shows on the window's lamp.
//
// The real window, offscreen, port 1 open on a pseudo-terminal given modem lines by the line
// shim (linked in, as the window tests do). The bench flips CTS in the shim's state and waits
// on the main thread's events until the CTS lamp shows the new state: the time from the flip
// to the lamp, over 200 flips spaced by a random 0 to 40 ms, first on a quiet line, then while
// the same port receives as fast as the pseudo-terminal takes bytes. Prints figures; asserts
// nothing.

#include <sys/ioctl.h>

#include <QApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "bench_stats.h"
#include "line_shim.h"
#include "window_rig.h"

namespace {

using Clock = std::chrono::steady_clock;

bool CtsLit(WindowRig& rig) {
  return rig.form->Lines[1].Lamp[0]->property("lit").toBool();
}

void Measure(const char* what, WindowRig& rig, LineShimState& line) {
  std::mt19937 random(7);
  std::vector<double> delays;
  int missed = 0;
  for (int i = 0; i < 200; ++i) {
    WaitUntil([] { return false; }, std::chrono::milliseconds(random() % 41));
    const bool lit = !CtsLit(rig);
    const Clock::time_point flipped = Clock::now();
    line.inputs = lit ? TIOCM_CTS : 0;
    const Clock::time_point until = flipped + std::chrono::seconds(2);
    while (CtsLit(rig) != lit && Clock::now() < until) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    if (CtsLit(rig) == lit) {
      delays.push_back(Ms(Clock::now() - flipped));
    } else {
      ++missed;
    }
  }
  std::printf("%-34s %zu changes  p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms  missed %d\n", what,
              delays.size(), Percentile(delays, 0.5), Percentile(delays, 0.99), Max(delays),
              missed);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  WindowRig rig;
  rig.Create();
  LineShim shim(rig.pty[1]->SlavePath());
  LineShimState& line = shim.State();
  wirelab_line_shim_attach(&line);
  rig.Open(1);
  WaitUntil([&] { return rig.form->Lines[1].Lamp[0]->isEnabled(); });

  std::printf("CTS flip to lamp, %u ms line poll\n", TRealCom::kLinesPollMs);
  Measure("quiet line", rig, line);
  {
    Flood flood({rig.pty[1].get()}, 'a', std::chrono::seconds(60));
    Measure("port receiving flat out", rig, line);
  }
  wirelab_line_shim_attach(nullptr);
  return 0;
}
