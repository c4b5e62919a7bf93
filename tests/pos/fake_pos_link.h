#pragma once
// A stand-in for the window's side of the POS dialogue: records what the terminal sends, logs
// and shows, and models TimerQueue on a virtual millisecond clock (the countdown restarts only
// when the enabled flag or the period changes). Single-threaded.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pos/pos_link.h"
#include "pos/pos_terminal.h"

class FakePosLink : public PosLink {
 public:
  std::set<int> OpenPorts{1, 2, 3, 4};
  std::string PosNo = "001";
  std::map<int, std::vector<std::string>> Sent;  // whole frames, CR included
  std::map<int, std::vector<std::string>> Log;
  std::vector<std::string> Events;       // "send", "log", "panel" in the order they happened
  std::function<void(int port)> OnSend;  // may throw to model a failing transmission
  bool PanelVisible = false;
  std::string CashRegisterLabel, TransactionLabel;
  bool TimerEnabled = false;
  int32_t TimerInterval = 1000;
  uint32_t Clock = 0;
  uint32_t CountdownStart = 0;
  int Restarts = 0;

  bool PortPresent(int port) override { return OpenPorts.count(port) != 0; }
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override {
    if (OnSend) OnSend(port);
    Sent[port].emplace_back(bytes.begin(), bytes.end());
    Events.push_back("send");
  }
  void AddLogLine(int port, const std::string& line) override {
    Log[port].push_back(line);
    Events.push_back("log");
  }
  std::string PosNumberText() override { return PosNo; }
  bool TransactionPanelVisible() override { return PanelVisible; }
  void SetTransactionPanelVisible(bool visible) override {
    PanelVisible = visible;
    Events.push_back("panel");
  }
  void SetTransactionLabels(const std::string& cashRegister,
                            const std::string& transaction) override {
    CashRegisterLabel = cashRegister;
    TransactionLabel = transaction;
  }
  bool QueueTimerEnabled() override { return TimerEnabled; }
  void SetQueueTimerEnabled(bool enabled) override {
    if (enabled == TimerEnabled) return;
    TimerEnabled = enabled;
    if (enabled) Restart();
  }
  void SetQueueTimerInterval(int32_t ms) override {
    if (ms == TimerInterval) return;
    TimerInterval = ms;
    if (TimerEnabled) Restart();
  }

  // Moves the clock on by ms, firing the timer's ticks into terminal as they fall due.
  void Advance(uint32_t ms, PosTerminal& terminal) {
    const uint32_t end = Clock + ms;
    while (TimerEnabled && TimerInterval > 0 &&
           CountdownStart + static_cast<uint32_t>(TimerInterval) <= end) {
      Clock = CountdownStart + static_cast<uint32_t>(TimerInterval);
      CountdownStart = Clock;
      terminal.TimerQueueTimer();
    }
    Clock = end;
  }

 private:
  void Restart() {
    CountdownStart = Clock;
    ++Restarts;
  }
};
