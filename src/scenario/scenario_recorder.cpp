#include "scenario/scenario_recorder.h"

#include <algorithm>
#include <utility>

#include "platform/text/cp1254.h"
#include "pos/packet_format.h"
#include "scenario/scenario_terminal.h"
#include "senders/byte_codes.h"

namespace {

constexpr uint8_t kCarriageReturn = 13;

bool LetterRight(const std::string& packet) {
  return !packet.empty() &&
         static_cast<uint8_t>(packet.back()) ==
             PacketChecksum(std::string_view(packet).substr(0, packet.size() - 1));
}

// A text a scenario line can carry as it is: no control character, nothing the line's own
// reading would take apart (a text read as "... within N").
bool Writable(const std::string& text) {
  for (const char ch : text) {
    const char32_t cp = platform::Cp1254ToUnicode(static_cast<uint8_t>(ch));
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
  }
  const size_t within = text.rfind(" within ");
  return within == std::string::npos ||
         text.find_first_not_of("0123456789", within + 8) != std::string::npos;
}

}  // namespace

ScenarioRecorder::ScenarioRecorder(std::function<void(const std::string&)> write)
    : write_(std::move(write)) {}

void ScenarioRecorder::Begin(const std::string& program, const std::string& when) {
  write_("# Recorded by " + program + " " + when +
         ": the register's side of the session, to replay against a terminal.\n");
}

void ScenarioRecorder::Line(int port, const std::string& step) {
  if (port != currentPort_) {
    write_("port " + std::to_string(port) + "\n");
    currentPort_ = port;
  }
  write_(step + "\n");
}

void ScenarioRecorder::RegisterByte(int port, uint8_t value, uint32_t now) {
  Port& state = ports_[port];
  if (value != kCarriageReturn) {
    state.assembling.push_back(static_cast<char>(value));
    return;
  }
  const std::string packet = std::exchange(state.assembling, {});
  state.lastRegisterTick = now;
  state.registerSpoke = true;
  const std::string text = packet.empty() ? packet : packet.substr(0, packet.size() - 1);
  if (!LetterRight(packet) || text.empty() || !Writable(text)) {
    Line(port, "send-codes " + BytesToByteCodes(packet + static_cast<char>(kCarriageReturn)));
    return;
  }
  const std::string command = PacketCommand(packet);
  const std::string number = text.substr(0, 3);
  const std::string rest = text.size() > 3 ? text.substr(3) : std::string();
  if (!state.lastTerminalNumber.empty() && number == state.lastTerminalNumber &&
      (rest == "ACK" || rest == "NACK")) {
    Line(port, rest == "ACK" ? "ack" : "nack");
    return;
  }
  Line(port, "send " + platform::Cp1254ToUtf8(text));
}

void ScenarioRecorder::TerminalFrame(int port, const std::vector<uint8_t>& frame, uint32_t now) {
  if (frame.size() < 2 || frame.back() != kCarriageReturn) return;
  Port& state = ports_[port];
  std::string text(frame.begin(), frame.end() - 2);
  const std::string command = text.size() >= 7 ? text.substr(3, 4) : std::string();
  if (command == "PROM" || command == "PROV") {
    state.lastTerminalNumber = text.substr(0, 3);
    text.replace(0, 3, "???");
  }
  if (!Writable(text) || text.empty()) return;  // nothing a replay could expect as text
  const uint32_t took = state.registerSpoke ? now - state.lastRegisterTick : 0;
  uint32_t within = std::max(kLeastWithinMs, took * kWithinFactor);
  within = (within + 99) / 100 * 100;
  Line(port, "expect " + platform::Cp1254ToUtf8(text) + " within " + std::to_string(within));
}
