#pragma once
// The POS terminal on one --pos port of wirelab-cli: the window's PosTerminal with a
// receiver, transaction and pending message of its own, so that registers on two ports never
// mix their bytes into one packet nor acknowledge each other's messages. Ports, log lines and
// "Pos No:" come from the shared PosLink of the ports; the transaction flag and the
// retransmission timer are this port's. Main thread only.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/time/clock.h"
#include "platform/time/toolkit_timer.h"
#include "pos/pos_link.h"
#include "pos/pos_terminal.h"

class CliPosPort : private PosLink {
 public:
  CliPosPort(PosLink& ports, int port, platform::Clock& clock);

  // A byte received on this port; the gap rule counts from this port's previous byte.
  void ByteReceived(uint8_t value);

 private:
  bool PortPresent(int port) override { return ports_.PortPresent(port); }
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override {
    ports_.SendBytes(port, bytes);
  }
  void AddLogLine(int port, const std::string& line) override { ports_.AddLogLine(port, line); }
  std::string PosNumberText() override { return ports_.PosNumberText(); }
  bool TransactionPanelVisible() override { return transactionOpen_; }
  void SetTransactionPanelVisible(bool visible) override { transactionOpen_ = visible; }
  void SetTransactionLabels(const std::string&, const std::string&) override {}
  bool QueueTimerEnabled() override { return timerQueue_.Enabled(); }
  void SetQueueTimerEnabled(bool enabled) override { timerQueue_.SetEnabled(enabled); }
  void SetQueueTimerInterval(int32_t ms) override { timerQueue_.SetInterval(ms); }

  PosLink& ports_;
  platform::Clock& clock_;
  const int port_;
  PosTerminal terminal_;
  platform::ToolkitTimer timerQueue_;
  bool transactionOpen_ = false;
  uint32_t lastRxTick_ = 0;
};

// Runs a timer's handler; an error is reported on stderr and the program goes on.
void RunReportingErrors(const std::function<void()>& handler);
