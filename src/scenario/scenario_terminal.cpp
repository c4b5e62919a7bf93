#include "scenario/scenario_terminal.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text/cp1254.h"

namespace {
constexpr uint8_t kCarriageReturn = 13;
}  // namespace

std::string PacketCommand(const std::string& packet) {
  if (packet.size() >= 6 && platform::UpperCase1254(std::string_view(packet).substr(3, 3)) == "ACK")
    return "+ACK";
  if (packet.size() < 7) return {};
  return platform::UpperCase1254(std::string_view(packet).substr(3, 4));
}

ScenarioTerminal::ScenarioTerminal(ScenarioHost& host, platform::Clock& clock, int port)
    : host_(host), clock_(clock), port_(port), terminal_(*this), timerQueue_(clock) {
  timerQueue_.OnTimer = [this] {
    try {
      terminal_.TimerQueueTimer();
    } catch (const std::runtime_error& e) {
      trouble_ = e.what();
    }
  };
  sendTimer_ = clock_.MakeCountdown([this] { SendDue(); });
  reopenTimer_ = clock_.MakeCountdown([this] { Reopen(); });
}

ScenarioTerminal::~ScenarioTerminal() {
  timerQueue_.SetEnabled(false);
  sendTimer_.reset();
  reopenTimer_.reset();
  if (hungUp_) {
    std::string reason;
    host_.ReopenPort(port_, reason);
  }
}

void ScenarioTerminal::AddFault(const ScenarioStep& step) {
  rules_.push_back({step.command, step.action, step.ms, step.times});
}

bool ScenarioTerminal::TakeClosedSale() {
  if (closedSales_ == 0) return false;
  --closedSales_;
  return true;
}

void ScenarioTerminal::PacketArrived(const std::string& packet) {
  if (hungUp_) return;  // the port is closed: nothing reaches the terminal
  const std::string command = PacketCommand(packet);
  const auto rule = std::find_if(rules_.begin(), rules_.end(), [&](const Rule& r) {
    return r.usesLeft != 0 && (r.command == "*" || r.command == command);
  });
  if (rule == rules_.end()) {
    Feed(packet, Handling::AsIs, 0);
    return;
  }
  if (rule->usesLeft > 0) --rule->usesLeft;
  switch (rule->action) {
    case FaultAction::Drop:
      Note("fault drop: the packet is lost before the terminal");
      break;
    case FaultAction::Nack:
      Note("fault nack: the terminal rejects the packet");
      if (packet.size() > 7) terminal_.SendAckNack(false, port_, packet.substr(0, 3));
      break;
    case FaultAction::Silent:
      Feed(packet, Handling::Silent, 0);
      break;
    case FaultAction::Delay:
      Feed(packet, Handling::Delay, rule->ms);
      break;
    case FaultAction::BadCheck:
      Feed(packet, Handling::BadCheck, 0);
      break;
    case FaultAction::Hangup:
      Note("fault hangup: the port closes for " + std::to_string(rule->ms) + " ms");
      outgoing_.clear();
      sendTimer_->Stop();
      hungUp_ = true;
      host_.ClosePort(port_);
      reopenTimer_->Start(rule->ms);
      break;
  }
}

void ScenarioTerminal::Feed(const std::string& packet, Handling handling, int32_t delayMs) {
  handling_ = handling;
  delayMs_ = delayMs;
  replySeen_ = false;
  handlingAck_ = PacketCommand(packet) == "+ACK";
  // The whole packet at one tick: the pause rule of the receiver never splits it.
  const uint32_t now = clock_.Now();
  try {
    for (const char ch : packet)
      terminal_.PosByteReceived(port_, static_cast<uint8_t>(ch), now, now);
    terminal_.PosByteReceived(port_, kCarriageReturn, now, now);
  } catch (const std::runtime_error& e) {
    trouble_ = e.what();
  }
  handling_ = Handling::None;
  handlingAck_ = false;
}

void ScenarioTerminal::Note(const std::string& line) {
  host_.AddLogLine(port_, line);
}

bool ScenarioTerminal::PortPresent(int port) {
  return port == port_ && !hungUp_ && host_.PortOpen(port);
}

void ScenarioTerminal::SendBytes(int, const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> bytes = frame;
  uint32_t wait = 0;
  if (handling_ != Handling::None) {
    const bool reply = !replySeen_;
    replySeen_ = true;
    if (reply && handling_ == Handling::Silent) {
      Note("fault silent: the reply is lost");
      return;
    }
    if (reply && handling_ == Handling::BadCheck && bytes.size() >= 2) {
      uint8_t& letter = bytes[bytes.size() - 2];
      letter = static_cast<uint8_t>('A' + (letter - 'A' + 1) % 26);
      Note(std::string("fault bad-check: the reply goes out with the letter ") +
           static_cast<char>(letter));
    }
    if (handling_ == Handling::Delay) {
      wait = static_cast<uint32_t>(delayMs_);
      if (reply) Note("fault delay: the reply goes out " + std::to_string(wait) + " ms late");
    }
  }
  if (wait == 0 && outgoing_.empty()) {
    host_.SendBytes(port_, bytes);
    return;
  }
  // Behind what waits already, so the order on the line is the order of sending.
  uint32_t due = clock_.Now() + wait;
  if (!outgoing_.empty() && static_cast<int32_t>(outgoing_.back().due - due) > 0)
    due = outgoing_.back().due;
  outgoing_.push_back({due, std::move(bytes)});
  if (outgoing_.size() == 1) sendTimer_->Start(static_cast<int32_t>(std::max<uint32_t>(wait, 1)));
}

void ScenarioTerminal::SendDue() {
  sendTimer_->Stop();
  const uint32_t now = clock_.Now();
  try {
    while (!outgoing_.empty() && static_cast<int32_t>(now - outgoing_.front().due) >= 0) {
      const std::vector<uint8_t> bytes = std::move(outgoing_.front().bytes);
      outgoing_.pop_front();
      if (PortPresent(port_)) host_.SendBytes(port_, bytes);
    }
  } catch (const std::runtime_error& e) {
    trouble_ = e.what();
  }
  if (!outgoing_.empty()) {
    sendTimer_->Start(std::max<int32_t>(1, static_cast<int32_t>(outgoing_.front().due - now)));
  }
}

void ScenarioTerminal::Reopen() {
  reopenTimer_->Stop();
  std::string reason;
  if (host_.ReopenPort(port_, reason)) {
    hungUp_ = false;
    Note("fault hangup: the port is open again");
  } else {
    trouble_ = "port " + std::to_string(port_) + " could not be opened again: " + reason;
  }
}

void ScenarioTerminal::SetTransactionPanelVisible(bool visible) {
  // A sale is closed by the acknowledgement of its provision; ODTI of type 2 and ISIP close the
  // transaction without one.
  if (transactionOpen_ && !visible && handlingAck_) ++closedSales_;
  transactionOpen_ = visible;
}
