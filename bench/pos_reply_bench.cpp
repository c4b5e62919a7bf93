// Reply time of the POS terminal through the real window: port 1 mapped to a pseudo-terminal,
// the "POS" tab in front, the window made and run as the program does (offscreen). A
// cash-register thread on the master side sends valid packets one after another (a start,
// then items), each after the reply to the one before, and times every packet from the write
// of its carriage return to the read of the reply's carriage return. Every reply is checked
// byte for byte. Prints figures; asserts nothing. It runs under Wine as well, where the line
// is two terminals that socat joins.
//
//   pos_reply_bench [packets]   (default 1000)

#include <QApplication>
#include <QMetaObject>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_stats.h"
#include "platform/time/qt_clock.h"
#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kReplyDeadline = std::chrono::seconds(5);

char CheckLetter(const std::string& text) {
  unsigned sum = 0;
  for (const char ch : text) sum += static_cast<uint8_t>(ch);
  return static_cast<char>('A' + sum % 26);
}

std::string Framed(const std::string& text) {
  return text + CheckLetter(text) + '\r';
}

std::string Number(int n) {
  const std::string digits = std::to_string((n - 1) % 999 + 1);
  return std::string(3 - digits.size(), '0') + digits;
}

struct Result {
  std::vector<Clock::time_point> written;  // the packet's CR written, one per packet
  int sent = 0;
  int wrong = 0;    // replies that differ from the expected bytes
  int missing = 0;  // replies that did not come within the deadline (the run stops there)
  std::vector<double> ms;
  std::string firstWrong;
};

void Register(PtyPair& pty, int packets, Result& result) {
  for (int i = 1; i <= packets; ++i) {
    const std::string no = Number(i);
    const std::string text =
        i == 1 ? no + "STTX12|34" : no + "ITEM01|8690504|1|" + std::to_string(i);
    const std::string expected = Framed("001" + no + "ACK");
    pty.Write(Framed(text));
    const Clock::time_point written = Clock::now();
    result.written.push_back(written);
    const std::vector<uint8_t> bytes = pty.ReadExactly(expected.size(), kReplyDeadline);
    if (bytes.size() < expected.size()) {
      ++result.missing;
      return;
    }
    const Clock::time_point crAt = Clock::now();
    const std::string reply(bytes.begin(), bytes.end());
    ++result.sent;
    result.ms.push_back(Ms(crAt - written));
    if (reply != expected) {
      if (result.wrong++ == 0) result.firstWrong = reply;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int packets = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;

  TempAppDir dir;
  PtyPair pty;
  dir.WriteFile("WireLab.ini", "[Ports]\nCom1=" + pty.SlavePath() + "\n");
  platform::QtClock clock;
  platform::MessageBoxes boxes;
  auto form = std::make_unique<TForm5>(clock, boxes, platform::FilesBeside(dir.Path()));
  form->show();
  form->PageControl1->setCurrentWidget(form->TabSheetPos);
  form->CheckBox[1]->click();
  if (form->View().Ports[1] == nullptr || form->ActivePage() != form->TabSheetPos) {
    std::fprintf(stderr, "pos_reply_bench: port 1 (%s) did not open on the POS tab\n",
                 pty.SlavePath().c_str());
    return 1;
  }

  // The main thread's stamps: each carriage return as it is handed to the window, and the end
  // of its handling (the reply is out by then).
  std::vector<Clock::time_point> delivered, handled;
  delivered.reserve(static_cast<size_t>(packets));
  handled.reserve(static_cast<size_t>(packets));
  const TReceiveEvent original = form->View().Ports[1]->OnReceive;
  form->View().Ports[1]->OnReceive = [&, original](TPeripheral* sender, uint8_t value) {
    if (value == '\r') delivered.push_back(Clock::now());
    original(sender, value);
    if (value == '\r') handled.push_back(Clock::now());
  };

  // The shown window lays itself out and paints first, as it would long before a sale.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents();

  Result result;
  const Clock::time_point start = Clock::now();
  std::thread cashRegister([&] {
    try {
      Register(pty, packets, result);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "cash register: %s\n", e.what());
    }
    QMetaObject::invokeMethod(
        &app, [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
  });
  app.exec();
  cashRegister.join();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

  const int paneLines = form->Memo[1]->LineCount();
  std::printf(
      "pos_reply_bench: %d packets (STTX, then ITEMs), reply timed from the packet's CR "
      "written to the reply's CR read\n",
      packets);
  std::printf("  replies %d, wrong %d, missing %d%s%s\n", result.sent, result.wrong, result.missing,
              result.wrong ? ", first wrong: " : "", result.firstWrong.c_str());
  const auto worst = std::max_element(result.ms.begin(), result.ms.end());
  std::printf(
      "  reply time: p50 %.3f ms, p99 %.3f ms, max %.3f ms at packet %d (goal p99 <= 5 ms)\n",
      Percentile(result.ms, 0.5), Percentile(result.ms, 0.99),
      worst == result.ms.end() ? 0.0 : *worst, static_cast<int>(worst - result.ms.begin()) + 1);
  if (result.ms.size() > 1) {
    std::printf("  without the first packet: p99 %.3f ms, max %.3f ms\n",
                Percentile(std::vector<double>(result.ms.begin() + 1, result.ms.end()), 0.99),
                *std::max_element(result.ms.begin() + 1, result.ms.end()));
  }
  if (delivered.size() == result.written.size() && handled.size() == result.written.size()) {
    std::vector<double> toWindow, inWindow;
    for (size_t i = 0; i < result.written.size(); ++i) {
      toWindow.push_back(Ms(delivered[i] - result.written[i]));
      inWindow.push_back(Ms(handled[i] - delivered[i]));
    }
    std::printf(
        "  of which CR written -> CR handed to the window: p50 %.3f ms, p99 %.3f ms, max "
        "%.3f ms\n",
        Percentile(toWindow, 0.5), Percentile(toWindow, 0.99),
        *std::max_element(toWindow.begin(), toWindow.end()));
    std::printf(
        "  of which handling in the window (reply sent, lines logged): p50 %.3f ms, p99 "
        "%.3f ms, max %.3f ms\n",
        Percentile(inWindow, 0.5), Percentile(inWindow, 0.99),
        *std::max_element(inWindow.begin(), inWindow.end()));
  }
  std::printf("  run %.2f s; lines in port 1's pane %d (3 per packet expected: %d)\n", seconds,
              paneLines, 3 * result.sent);
  form.reset();
  return result.wrong == 0 && result.missing == 0 ? 0 : 2;
}
