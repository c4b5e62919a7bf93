#pragma once
// The POS terminal a scenario's `terminal` step starts on one port: the POS tab's PosTerminal
// with its own transaction flag and retransmission timer, fresh as at start-up, and the fault
// rules the `fault` steps add in front of it.
//
// It is handed whole packets (the bytes before the carriage return) and feeds each to the
// terminal in one go, so a rule can decide on a packet's command before the terminal sees it.
// Main thread only.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/time/clock.h"
#include "platform/time/toolkit_timer.h"
#include "pos/pos_link.h"
#include "pos/pos_terminal.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_host.h"

class ScenarioTerminal : private PosLink {
 public:
  ScenarioTerminal(ScenarioHost& host, platform::Clock& clock, int port);
  ~ScenarioTerminal() override;  // a port it holds closed is opened again
  ScenarioTerminal(const ScenarioTerminal&) = delete;
  ScenarioTerminal& operator=(const ScenarioTerminal&) = delete;

  // A fault step: later rules apply only where no earlier one with uses left matches.
  void AddFault(const ScenarioStep& step);
  // A packet from the register: its text and check letter, without the carriage return.
  void PacketArrived(const std::string& packet);

  // True while a fault keeps the port closed.
  bool HungUp() const { return hungUp_; }
  // Sales (STTX ... PROV acknowledged) closed since start, and taking one of them.
  bool TakeClosedSale();
  bool TransactionOpen() const { return transactionOpen_; }
  const PosTerminal& Terminal() const { return terminal_; }
  // What went wrong outside any step (a port that would not open again); empty while nothing.
  const std::string& Trouble() const { return trouble_; }

 private:
  struct Rule {
    std::string command;  // or "*"
    FaultAction action;
    int32_t ms;
    int32_t usesLeft;  // -1: every packet
  };
  enum class Handling { None, AsIs, Silent, Delay, BadCheck };
  struct Outgoing {
    uint32_t due;
    std::vector<uint8_t> bytes;
  };

  void Feed(const std::string& packet, Handling handling, int32_t delayMs);
  void Note(const std::string& line);
  void SendDue();
  void Reopen();

  // PosLink: the port, its log lines and "Pos No:" from the host; the transaction and the timer
  // are this terminal's own.
  bool PortPresent(int port) override;
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override;
  void AddLogLine(int port, const std::string& line) override { host_.AddLogLine(port, line); }
  std::string PosNumberText() override { return host_.PosNumberText(); }
  bool TransactionPanelVisible() override { return transactionOpen_; }
  void SetTransactionPanelVisible(bool visible) override;
  void SetTransactionLabels(const std::string&, const std::string&) override {}
  bool QueueTimerEnabled() override { return timerQueue_.Enabled(); }
  void SetQueueTimerEnabled(bool enabled) override { timerQueue_.SetEnabled(enabled); }
  void SetQueueTimerInterval(int32_t ms) override { timerQueue_.SetInterval(ms); }

  ScenarioHost& host_;
  platform::Clock& clock_;
  const int port_;
  PosTerminal terminal_;
  platform::ToolkitTimer timerQueue_;
  std::vector<Rule> rules_;
  bool transactionOpen_ = false;
  int closedSales_ = 0;
  bool handlingAck_ = false;  // the packet being fed is an acknowledgement ("+ACK")
  Handling handling_ = Handling::None;
  bool replySeen_ = false;  // the packet being fed has had its reply
  int32_t delayMs_ = 0;
  std::deque<Outgoing> outgoing_;  // delayed sends, and what must follow them
  std::unique_ptr<platform::Countdown> sendTimer_;
  bool hungUp_ = false;
  std::unique_ptr<platform::Countdown> reopenTimer_;
  std::string trouble_;
};

// The command a packet is read as: characters 4 to 7 in upper case, "ACK" read as "+ACK".
std::string PacketCommand(const std::string& packet);
