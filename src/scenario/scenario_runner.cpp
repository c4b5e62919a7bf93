#include "scenario/scenario_runner.h"

#include <stdexcept>
#include <utility>

#include "pos/packet_format.h"

namespace {

constexpr uint8_t kCarriageReturn = 13;

bool TextMatches(const std::string& pattern, std::string_view text) {
  if (pattern.size() != text.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '?' && pattern[i] != text[i]) return false;
  }
  return true;
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

bool PacketMatches(const std::string& pattern, const std::string& packet) {
  if (packet.empty()) return false;
  const std::string_view text = std::string_view(packet).substr(0, packet.size() - 1);
  return TextMatches(pattern, text) && static_cast<uint8_t>(packet.back()) == PacketChecksum(text);
}

ScenarioRunner::ScenarioRunner(const Scenario& scenario, ScenarioHost& host, platform::Clock& clock)
    : scenario_(scenario), host_(host), clock_(clock) {
  deadline_ = clock_.MakeCountdown([this] { Timeout(); });
}

ScenarioRunner::~ScenarioRunner() {
  deadline_.reset();
  for (PortState& port : ports_) port.terminal.reset();
}

const ScenarioStep* ScenarioRunner::CurrentStep() const {
  if (!started_ || current_ >= scenario_.steps.size()) return nullptr;
  return &scenario_.steps[current_];
}

void ScenarioRunner::Start() {
  started_ = true;
  // Only the scenario's own ports: a dialogue on another port keeps what it received.
  for (int n = 1; n <= 4; ++n) {
    if (scenario_.usesPort[n] && host_.PortOpen(n)) host_.PurgePort(n);
  }
  Advance();
}

void ScenarioRunner::ByteReceived(int port, uint8_t value) {
  if (finished_ || port < 1 || port > 4) return;
  PortState& state = ports_[port];
  if (value != kCarriageReturn && state.assembling.size() < kPacketLimit) {
    state.assembling.push_back(static_cast<char>(value));
    return;
  }
  std::string packet = std::exchange(state.assembling, {});
  if (value != kCarriageReturn) state.assembling.push_back(static_cast<char>(value));
  state.lastArrived = packet;
  state.packets.push_back(packet);
  if (state.terminal) state.terminal->PacketArrived(packet);
  if (CheckTrouble()) return;
  if (waiting_ && Settle(scenario_.steps[current_])) Advance();
}

void ScenarioRunner::Abort(const std::string& reason) {
  if (!started_ || finished_) return;
  Fail(reason);
}

void ScenarioRunner::Advance() {
  if (advancing_) return;
  advancing_ = true;
  while (!finished_ && !waiting_) {
    if (current_ >= scenario_.steps.size()) {
      finished_ = true;
      passed_ = true;
      deadline_->Stop();
      host_.ScenarioFinished(true);
      break;
    }
    const ScenarioStep& step = scenario_.steps[current_];
    stepStart_ = clock_.Now();
    if (!Begin(step) && !finished_) {
      waiting_ = true;
      if (Settle(step)) continue;
      deadline_->Start(std::max<int32_t>(step.ms, 1));
    }
  }
  advancing_ = false;
}

bool ScenarioRunner::Begin(const ScenarioStep& step) {
  PortState& port = ports_[step.port];
  switch (step.kind) {
    case StepKind::Port:
      Pass();
      return true;
    case StepKind::Send:
      Send(step, FramePacket(step.text));
      return true;
    case StepKind::SendCodes:
      Send(step, Bytes(step.text));
      return true;
    case StepKind::Ack:
    case StepKind::Nack: {
      const std::string& packet = port.lastTaken.empty() ? port.lastArrived : port.lastTaken;
      if (packet.size() < 3) {
        Fail("no packet has come on port " + std::to_string(step.port) + " to acknowledge");
        return true;
      }
      const std::string number = packet.substr(0, 3);
      Send(step, FramePacket(number + (step.kind == StepKind::Ack ? "ACK" : "NACK")));
      return true;
    }
    case StepKind::Terminal:
      if (!port.terminal)
        port.terminal = std::make_unique<ScenarioTerminal>(host_, clock_, step.port);
      Pass();
      return true;
    case StepKind::Fault:
      port.terminal->AddFault(step);
      Pass();
      return true;
    case StepKind::Wait:
      if (step.ms == 0) {
        Pass();
        return true;
      }
      return false;
    case StepKind::Expect:
    case StepKind::ExpectSale:
      return false;
  }
  return true;
}

bool ScenarioRunner::Settle(const ScenarioStep& step) {
  PortState& port = ports_[step.port];
  if (step.kind == StepKind::Expect) {
    if (port.packets.empty()) return false;
    const std::string packet = std::move(port.packets.front());
    port.packets.pop_front();
    port.lastTaken = packet;
    const std::string cr(1, static_cast<char>(kCarriageReturn));
    const bool wildcard = step.text.find('?') != std::string::npos;
    const std::string wanted =
        wildcard ? step.text : step.text + static_cast<char>(PacketChecksum(step.text)) + cr;
    if (PacketMatches(step.text, packet)) {
      Pass();
    } else if (!packet.empty() &&
               TextMatches(step.text, std::string_view(packet).substr(0, packet.size() - 1))) {
      const std::string text = packet.substr(0, packet.size() - 1);
      Fail("wrong check letter", text + static_cast<char>(PacketChecksum(text)) + cr, packet + cr);
    } else {
      Fail("a different packet", wanted, packet + cr);
    }
    return true;
  }
  if (step.kind == StepKind::ExpectSale && port.terminal && port.terminal->TakeClosedSale()) {
    Pass();
    return true;
  }
  return false;
}

void ScenarioRunner::Timeout() {
  deadline_->Stop();
  if (finished_ || !waiting_ || CheckTrouble()) return;
  const ScenarioStep& step = scenario_.steps[current_];
  const PortState& port = ports_[step.port];
  const std::string within = " within " + std::to_string(step.ms) + " ms";
  if (step.kind == StepKind::Wait) {
    Pass();
  } else if (step.kind == StepKind::Expect) {
    Fail("nothing came" + within, step.text, port.assembling);
  } else {
    std::string state = "no transaction open";
    if (port.terminal && port.terminal->TransactionOpen()) {
      const PosTerminal& terminal = port.terminal->Terminal();
      state = "transaction " + std::to_string(terminal.TransactionNo) + " still open";
      if (!terminal.PendingMessage.empty()) {
        state += ", last sent " + PadLeftZeros(std::to_string(terminal.PendingPacketNo), 3) +
                 terminal.PendingMessage;
      }
    }
    Fail("no sale closed" + within, "STTX ... PROV acknowledged", state);
  }
  Advance();
}

void ScenarioRunner::Pass() {
  deadline_->Stop();
  waiting_ = false;
  host_.StepFinished({&scenario_.steps[current_], true, clock_.Now() - stepStart_, {}, {}, {}});
  ++current_;
}

void ScenarioRunner::Fail(std::string reason, std::string expected, std::string got) {
  deadline_->Stop();
  waiting_ = false;
  finished_ = true;
  passed_ = false;
  host_.StepFinished({&scenario_.steps[current_], false, clock_.Now() - stepStart_,
                      std::move(reason), std::move(expected), std::move(got)});
  host_.ScenarioFinished(false);
}

void ScenarioRunner::Send(const ScenarioStep& step, const std::vector<uint8_t>& bytes) {
  const PortState& port = ports_[step.port];
  if (!host_.PortOpen(step.port) || (port.terminal && port.terminal->HungUp())) {
    Fail("port " + std::to_string(step.port) + " is closed");
    return;
  }
  try {
    host_.SendBytes(step.port, bytes);
  } catch (const std::runtime_error& e) {
    Fail(e.what());
    return;
  }
  Pass();
}

// Trouble a terminal met outside any step fails the step in progress.
bool ScenarioRunner::CheckTrouble() {
  for (const PortState& port : ports_) {
    if (port.terminal && !port.terminal->Trouble().empty()) {
      if (!finished_) Fail(port.terminal->Trouble());
      return true;
    }
  }
  return false;
}
