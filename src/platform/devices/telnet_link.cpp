#include "platform/devices/telnet_link.h"

#include <algorithm>

namespace platform::net {
namespace {

constexpr char kSignature[] = "WireLab";

std::string OptionName(uint8_t option) {
  switch (option) {
    case TelnetLink::kBinary:
      return "BINARY";
    case TelnetLink::kSuppressGoAhead:
      return "SUPPRESS-GO-AHEAD";
    case TelnetLink::kComPort:
      return "COM-PORT-OPTION";
    default:
      return "option " + std::to_string(option);
  }
}

void Put(std::string& out, std::initializer_list<uint8_t> bytes) {
  for (const uint8_t b : bytes) out += static_cast<char>(b);
}

}  // namespace

std::string ComPortCommandName(ComPortCommand command) {
  static constexpr const char* kNames[] = {
      "SIGNATURE",           "SET-BAUDRATE",       "SET-DATASIZE",       "SET-PARITY",
      "SET-STOPSIZE",        "SET-CONTROL",        "NOTIFY-LINESTATE",   "NOTIFY-MODEMSTATE",
      "FLOWCONTROL-SUSPEND", "FLOWCONTROL-RESUME", "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK",
      "PURGE-DATA"};
  const auto code = static_cast<size_t>(command);
  return code < std::size(kNames) ? kNames[code] : "command " + std::to_string(code);
}

bool TelnetLink::AcceptsForUs(uint8_t option) const {
  return option == kBinary || option == kSuppressGoAhead || (comPort_ && option == kComPort);
}

bool TelnetLink::AcceptsForServer(uint8_t option) {
  return option == kBinary || option == kSuppressGoAhead;
}

void TelnetLink::Open(uint32_t nowMs, std::string& out) {
  opened_ = true;
  if (comPort_) Ask(kWill, kComPort, nowMs, out);
  Ask(kWill, kBinary, nowMs, out);
  Ask(kDo, kBinary, nowMs, out);
  Ask(kWill, kSuppressGoAhead, nowMs, out);
  Ask(kDo, kSuppressGoAhead, nowMs, out);
}

void TelnetLink::Ask(uint8_t verb, uint8_t option, uint32_t nowMs, std::string& out) {
  State& state = verb == kWill ? us_[option] : him_[option];
  if (state != State::No) return;
  state = State::WantYes;
  Put(out, {kIac, verb, option});
  pending_.push_back({OptionName(option), option, true, nowMs});
}

void TelnetLink::Escape(uint8_t value, std::string& out) {
  if (value == kIac) out += static_cast<char>(kIac);
  out += static_cast<char>(value);
}

void TelnetLink::Send(uint8_t value, std::string& out) {
  Escape(value, held_.empty() ? out : heldData_);
}

void TelnetLink::DropHeld(std::string& out) {
  for (const auto& held : held_) Note(ComPortCommandName(held.first));
  held_.clear();
  out += heldData_;
  heldData_.clear();
}

void TelnetLink::Receive(const uint8_t* bytes, size_t count, uint32_t nowMs,
                         std::vector<uint8_t>& data, std::string& out) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = bytes[i];
    switch (input_) {
      case Input::Data:
        if (b == kIac) {
          input_ = Input::Iac;
        } else {
          data.push_back(b);
        }
        break;
      case Input::Iac:
        input_ = Input::Data;
        if (b == kIac) {
          data.push_back(b);
        } else if (b >= kWill && b <= kDont) {
          verb_ = b;
          input_ = Input::Verb;
        } else if (b == kSb) {
          sub_.clear();
          input_ = Input::Sub;
        }  // NOP, GA and the other commands carry nothing for a port
        break;
      case Input::Verb:
        input_ = Input::Data;
        Negotiate(verb_, b, nowMs, out);
        break;
      case Input::Sub:
        if (b == kIac) {
          input_ = Input::SubIac;
        } else {
          sub_.push_back(b);
        }
        break;
      case Input::SubIac:
        if (b == kIac) {
          sub_.push_back(b);
          input_ = Input::Sub;
        } else {
          input_ = Input::Data;  // SE, or a broken subnegotiation: either way it ends here
          SubNegotiation(nowMs, out);
        }
        break;
    }
  }
}

void TelnetLink::Negotiate(uint8_t verb, uint8_t option, uint32_t nowMs, std::string& out) {
  const bool forUs = verb == kDo || verb == kDont;
  const bool yes = verb == kDo || verb == kWill;
  State& state = forUs ? us_[option] : him_[option];
  const uint8_t agree = forUs ? kWill : kDo;
  const uint8_t refuse = forUs ? kWont : kDont;
  const bool acceptable = forUs ? AcceptsForUs(option) : AcceptsForServer(option);
  if (yes) {
    if (!acceptable) {
      if (state == State::No) Put(out, {kIac, refuse, option});
      return;
    }
    if (state == State::No) Put(out, {kIac, agree, option});
    if (state == State::WantYes) Settle(true, option, true);
    state = State::Yes;
    if (forUs && option == kComPort) {
      for (const auto& [command, value] : held_) {
        SendCommand(static_cast<uint8_t>(command), value, nowMs, out);
      }
      held_.clear();
      out += heldData_;
      heldData_.clear();
    }
    return;
  }
  if (state == State::Yes) Put(out, {kIac, refuse, option});
  if (state == State::WantYes) Settle(true, option, false);
  state = State::No;
  if (forUs && option == kComPort) DropHeld(out);
}

void TelnetLink::SubNegotiation(uint32_t nowMs, std::string& out) {
  if (sub_.size() < 2 || sub_[0] != kComPort) return;
  const uint8_t code = sub_[1];
  if (code == static_cast<uint8_t>(ComPortCommand::Signature)) {
    // The server asks who the client is; an empty question is the only one to answer.
    if (sub_.size() == 2) {
      std::vector<uint8_t> value(kSignature, kSignature + sizeof kSignature - 1);
      SendCommand(code, value, nowMs, out);
      pending_.pop_back();  // a reply expects no answer
    }
    return;
  }
  if (code < 100) return;
  const uint8_t answered = code - 100;
  if (answered == static_cast<uint8_t>(ComPortCommand::NotifyModemState) && sub_.size() >= 3) {
    modemState_ = sub_[2];
  }
  Settle(false, answered, true);
}

void TelnetLink::Settle(bool option, uint8_t code, bool confirmed) {
  const auto it = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) {
    return p.option == option && p.code == code;
  });
  if (it == pending_.end()) return;
  if (!confirmed) Note(it->name);
  pending_.erase(it);
}

void TelnetLink::Note(const std::string& name) {
  if (std::find(unconfirmed_.begin(), unconfirmed_.end(), name) != unconfirmed_.end()) return;
  unconfirmed_.push_back(name);
  changed_ = true;
}

void TelnetLink::Command(ComPortCommand command, const std::vector<uint8_t>& value, uint32_t nowMs,
                         std::string& out) {
  if (!comPort_) return;
  if (!ComPortAgreed()) {
    // Before the opening (the connection still being made) and while the server has not
    // answered the option, commands wait.
    if (!opened_ || us_[kComPort] == State::WantYes) {
      // A setting given again replaces the one waiting; SET-CONTROL's values (DTR, RTS, the
      // break, the flow control) are each their own, so they all go, in order.
      if (command != ComPortCommand::SetControl) {
        std::erase_if(held_, [command](const auto& held) { return held.first == command; });
      }
      held_.emplace_back(command, value);
    } else {
      Note(ComPortCommandName(command));
    }
    return;
  }
  SendCommand(static_cast<uint8_t>(command), value, nowMs, out);
}

void TelnetLink::SendCommand(uint8_t code, const std::vector<uint8_t>& value, uint32_t nowMs,
                             std::string& out) {
  Put(out, {kIac, kSb, kComPort, code});
  for (const uint8_t b : value) Escape(b, out);
  Put(out, {kIac, kSe});
  // Held commands go out with the agreement; their bound runs from then.
  const auto it = std::find_if(pending_.begin(), pending_.end(),
                               [code](const Pending& p) { return !p.option && p.code == code; });
  if (it != pending_.end()) pending_.erase(it);
  pending_.push_back({ComPortCommandName(static_cast<ComPortCommand>(code)), code, false, nowMs});
}

bool TelnetLink::Check(uint32_t nowMs, std::string& out) {
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (nowMs - it->sentMs >= kConfirmMs) {
      Note(it->name);
      if (it->option && it->code == kComPort) DropHeld(out);
      it = pending_.erase(it);
    } else {
      ++it;
    }
  }
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

}  // namespace platform::net
