#pragma once
// The real window on real pseudo-terminals, for tests that drive it as a user does.
//
// A fresh directory stands for the program's folder; its WireLab.ini maps Com1..Com4 to the
// slaves of four ptys whose master sides the test holds. Message boxes are captured. The clock
// is the real one unless the test emplaces the manual one before the window is made. A port can
// be drained: a reader thread then keeps its master side empty and collects what the window
// sent (see PtyLine).

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cash_register_sim.h"
#include "platform/thread/quit_request.h"
#include "platform/time/qt_clock.h"
#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

inline Bytes BytesOf(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Marks the test writes into a drained line. No test sends the end mark; the tick mark is for
// tests that send frames and DLE ENQ only.
constexpr uint8_t kEndMark = 0xFE;
constexpr uint8_t kTickMark = 0xFF;

// A pty whose master side a reader thread keeps empty, so a long run never fills it. A
// descriptor of its own on the slave side writes marks into the very stream the window writes
// to: writes of the main thread reach the master in the order they were made, so a mark tells
// exactly what was sent before it.
class PtyLine {
 public:
  explicit PtyLine(PtyPair& pty);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  void Mark(uint8_t mark) { ASSERT_EQ(write(markFd_, &mark, 1), 1); }
  // Bytes as the far end sends them, for the window to receive.
  void Reply(const std::string& bytes);
  // Waits until at least n bytes have come since the last Sent(); the count seen.
  size_t WaitForCount(size_t n);
  size_t Count() {
    std::lock_guard lock(mutex_);
    return bytes_.size();
  }
  // Everything sent since the last call.
  Bytes Sent();

 private:
  void Drain();

  PtyPair& pty_;
  int markFd_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  Bytes bytes_;
  std::thread reader_;
};

// Writes on the master sides of the given ptys as fast as they take bytes until stopped,
// destroyed or out of time (so a window that stops taking bytes fails a test instead of
// hanging it); a full pty is tried again a millisecond later.
class Flood {
 public:
  Flood(std::vector<PtyPair*> ptys, uint8_t fill,
        std::chrono::milliseconds limit = std::chrono::seconds(20));
  ~Flood() { Stop(); }
  bool Stopped() const { return stop_; }
  // Ends the flood; the bytes it wrote, all of them.
  size_t Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return written_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<size_t> written_{0};
  std::thread thread_;
};

class WindowRig {
 public:
  WindowRig();
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  // Writes WireLab.ini: iniHead, then the "Ports" section with extraPorts before the ptys'
  // lines, so that they win (the first match does).
  void WriteIni(const std::string& iniHead = "", const std::string& extraPorts = "");
  // Makes the window on whatever WireLab.ini holds. The only place a test makes one.
  void MakeWindow();
  void Create(const std::string& iniHead = "", const std::string& extraPorts = "") {
    WriteIni(iniHead, extraPorts);
    MakeWindow();
  }
  // Puts a reader on port n's master side; Sent(n) then tells what the window sent.
  void Drain(int n) { drained[n] = std::make_unique<PtyLine>(*pty[n]); }
  Bytes Sent(int n) { return drained[n]->Sent(); }

  // ---- As the user does ----
  void Click(int n) { form->CheckBox[n]->click(); }  // ticks or un-ticks "Open" of port n
  void Open(int n, const std::string& settings = "9600,n,8,1");  // with these settings
  void PressSend() { form->SpeedButton2->click(); }
  void Choose(int n);            // picks "Com<n>" in the selector
  void ShowTab(QWidget* sheet);  // and checks that it is in front

  // ---- What the window shows and holds ----
  Lines SelectorItems() const;
  std::string Selected() const;                                             // empty when nothing is
  bool PanelShown() const { return !form->PanelIslemBilgisi->isHidden(); }  // of "POS"
  TRealCom* Port(int n) const { return form->View().Ports[n].get(); }
  // The clock the window runs on: the manual one when the test emplaced it, else the real one.
  platform::Clock& Clock() { return clock ? static_cast<platform::Clock&>(*clock) : realClock; }
  uint32_t Now() { return Clock().Now(); }
  // Waits until the POS receiver holds exactly bytes.
  bool WaitForRxBuffer(const std::string& bytes) {
    return WaitUntil([&] { return form->View().Pos.RxBuffer == bytes; });
  }
  // Waits until port n's pane holds lines, then checks that it does.
  void ExpectPane(int n, const Lines& lines);
  // Waits until the last line of port n's pane reads expected; the value seen otherwise.
  std::string WaitForLastLine(int n, const std::string& expected);
  // Waits until the last line of port n's pane contains part.
  bool WaitForInLastLine(int n, const std::string& part);
  // Characters in port n's pane, buffered text included. A count of the whole pane, not the
  // last line's length: a pty that stays full hands over batches of one size, and with
  // entries of one size the last line can then come out the same short length every time.
  int PaneChars(int n);
  // What the port of channel n is doing, for failure messages.
  std::string PortState(int n) const;

  TempAppDir dir;
  std::string folder;                       // the program's folder the window is given; empty: dir
  std::optional<platform::AppFiles> files;  // where the window keeps its files; empty: folder
  MessageBoxCapture boxes;
  std::optional<ManualClock> clock;
  platform::QtClock realClock;
  std::array<std::unique_ptr<PtyPair>, 5> pty;      // [1..4]
  std::array<std::unique_ptr<PtyLine>, 5> drained;  // [1..4], where drained
  std::unique_ptr<TForm5> form;
};

class WindowTest : public testing::Test, public WindowRig {};

// SIGINT and SIGTERM go to the window as the program routes them. The program's bound on its
// ending runs from the signal until this is destroyed.
struct QuitSignals {
  QuitSignals(TForm5* f, platform::MessageBoxes& boxes) {
    platform::InstallQuitSignals([f, &boxes] {
      boxes.CloseAll();
      f->close();
    });
  }
  ~QuitSignals() { platform::RemoveQuitSignals(); }
};

// The window with ports 1 and 2 drained, on the manual clock from before it is made: for tests
// of what the send modes put on the line.
class SenderTest : public WindowTest {
 protected:
  SenderTest() {
    clock.emplace();
    Drain(1);
    Drain(2);
    Create();
  }
};

// The window with "POS" in front and port 1 open to a cash register on its pty, on the manual
// clock, held still while bytes flow so that no pause splits a packet; no box may show.
class PosWindowTest : public WindowTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  void ExpectPane() { WindowRig::ExpectPane(1, log); }

  CashRegisterSim reg{*pty[1]};
  Lines log;  // what port 1's pane must hold, CP1254
};
