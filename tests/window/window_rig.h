#pragma once
// The real window on real pseudo-terminals: a fresh directory with a WireLab.ini that maps
// Com1..Com4 to the slaves of four ptys, the message box seam, and the window made on demand.
// Tests drive the controls as a user does and read the ptys' master sides.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial_device.h"
#include "pty_pair.h"
#include "test_support.h"
#include "window/wirelabmain.h"

// Writes on the master sides of the given ptys as fast as they take bytes until stopped,
// destroyed or out of time (so a window that stops taking bytes fails a test instead of
// hanging it); a full pty is tried again a millisecond later.
class Flood {
 public:
  Flood(std::vector<PtyPair*> ptys, uint8_t fill,
        std::chrono::milliseconds limit = std::chrono::seconds(20))
      : thread_([this, ptys, fill, limit] {
          const auto end = std::chrono::steady_clock::now() + limit;
          std::vector<uint8_t> chunk(64, fill);
          while (!stop_ && std::chrono::steady_clock::now() < end) {
            for (PtyPair* p : ptys) {
              if (write(p->MasterFd(), chunk.data(), chunk.size()) <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
            }
          }
          stop_ = true;
        }) {}
  ~Flood() {
    stop_ = true;
    thread_.join();
  }
  bool Stopped() const { return stop_; }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class WindowTest : public testing::Test {
 protected:
  TempAppDir dir;
  MessageBoxCapture boxes;
  std::array<std::unique_ptr<PtyPair>, 5> pty;  // [1..4]
  std::optional<ManualClock> clock;
  std::unique_ptr<TForm5> form;

  // Writes WireLab.ini (the given lines, then the [Ports] section) and makes the window.
  void Create(const std::string& iniHead = "", const std::string& extraPorts = "") {
    std::string ini = iniHead + "\n[Ports]\n";
    for (int n = 1; n <= 4; ++n) {
      pty[n] = std::make_unique<PtyPair>();
      ini += "Com" + std::to_string(n) + "=" + pty[n]->SlavePath() + "\n";
    }
    ini += extraPorts;
    dir.WriteFile("WireLab.ini", ini);
    form = std::make_unique<TForm5>();
  }

  // Clicks "Open" of port n, as the user ticks or un-ticks it.
  void Click(int n) { form->CheckBox[n]->click(); }

  void Send() { form->SpeedButton2->click(); }

  std::vector<std::string> SelectorItems() const {
    std::vector<std::string> items;
    for (int i = 0; i < form->ComboBox1->count(); ++i) {
      items.push_back(form->ComboBox1->itemText(i).toStdString());
    }
    return items;
  }
  std::string Selected() const {
    return form->ComboBox1->currentIndex() < 0 ? "" : form->ComboBox1->currentText().toStdString();
  }

  // Waits until the last line of port n's pane reads expected; the value seen otherwise.
  std::string WaitForLastLine(int n, const std::string& expected) {
    if (!WaitUntil([&] { return form->Memo[n]->LastLine() == expected; })) {
      ADD_FAILURE() << PortState(n);
    }
    return form->Memo[n]->LastLine();
  }

  // Characters in port n's pane, buffered text included. A count of the whole pane, not the
  // last line's length: a pty that stays full hands over batches of one size, and with
  // entries of one size the last line can then come out the same short length every time.
  int PaneChars(int n) {
    form->Memo[n]->Flush();
    return form->Memo[n]->CharacterCount();
  }

  // What the port of channel n is doing, for failure messages.
  std::string PortState(int n) const {
    TRealCom* port = form->View().Ports[n].get();
    if (port == nullptr) return "port " + std::to_string(n) + " closed";
    const platform::PortHandle h = port->PortHandle();
    return "port " + std::to_string(n) + (h.IsOpen() ? " open" : " not had") +
           (port->Finished() ? ", thread finished" : "") + ", " +
           std::to_string(platform::BytesWaiting(h)) + " bytes waiting, pane has " +
           std::to_string(form->Memo[n]->Lines().size()) + " lines";
  }

  static std::vector<uint8_t> B(std::initializer_list<uint8_t> bytes) { return bytes; }
  static std::vector<uint8_t> B(const std::string& bytes) {
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }
};
