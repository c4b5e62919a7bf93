#pragma once
// What the POS terminal needs from the window: ports, log panes, the transaction panel, the
// "Pos No:" field and the retransmission timer. All calls come from the main thread.

#include <cstdint>
#include <string>
#include <vector>

class PosLink {
 public:
  virtual ~PosLink() = default;
  // True while Ports[port] holds a port object.
  virtual bool PortPresent(int port) = 0;
  // SendBuffer on Ports[port] (present). A transmission that fails throws std::runtime_error.
  virtual void SendBytes(int port, const std::vector<uint8_t>& bytes) = 0;
  // Adds a whole line to the log pane of the port.
  virtual void AddLogLine(int port, const std::string& line) = 0;
  // The text of "Pos No:".
  virtual std::string PosNumberText() = 0;

  // The transaction panel: its visibility flag is the transaction state.
  virtual bool TransactionPanelVisible() = 0;
  virtual void SetTransactionPanelVisible(bool visible) = 0;
  virtual void SetTransactionLabels(const std::string& cashRegisterText,
                                    const std::string& transactionText) = 0;

  // TimerQueue, a toolkit timer (restarts only when its flag or period changes).
  virtual bool QueueTimerEnabled() = 0;
  virtual void SetQueueTimerEnabled(bool enabled) = 0;
  virtual void SetQueueTimerInterval(int32_t ms) = 0;
};
