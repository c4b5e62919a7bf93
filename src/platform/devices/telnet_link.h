#pragma once
// TelnetLink: the Telnet side of a port on another machine, without the socket: what goes out
// first, what arrives (data and the server's negotiation), the COM-PORT-OPTION commands of
// RFC 2217 and which of them the server has confirmed.
//
// Data passes as bytes of any value: 0xFF is doubled going out and undoubled coming in, and the
// link asks for BINARY both ways and SUPPRESS-GO-AHEAD; it offers COM-PORT-OPTION and refuses
// every other option either side asks for. Commands given before the server has agreed to
// COM-PORT-OPTION wait for that. What the server leaves unanswered past kConfirmMs, or refuses,
// is listed by name, never waited on. One thread at a time; the owner serialises calls.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::net {

// RFC 2217's client commands; the server answers each with its code plus 100.
enum class ComPortCommand : uint8_t {
  Signature = 0,
  SetBaudRate = 1,
  SetDataSize = 2,
  SetParity = 3,
  SetStopSize = 4,
  SetControl = 5,
  NotifyLineState = 6,
  NotifyModemState = 7,
  FlowControlSuspend = 8,
  FlowControlResume = 9,
  SetLineStateMask = 10,
  SetModemStateMask = 11,
  PurgeData = 12,
};

// SET-CONTROL's values: flow control, break, DTR and RTS.
enum class LineControl : uint8_t {
  NoFlowControl = 1,
  XonXoffFlowControl = 2,
  HardwareFlowControl = 3,
  BreakOn = 5,
  BreakOff = 6,
  DtrOn = 8,
  DtrOff = 9,
  RtsOn = 11,
  RtsOff = 12,
};

class TelnetLink {
 public:
  static constexpr uint32_t kConfirmMs = 3000;

  // With comPort, the link speaks RFC 2217; without, it is a plain Telnet data link.
  explicit TelnetLink(bool comPort) : comPort_(comPort) {}

  // What the client says first, at nowMs.
  void Open(uint32_t nowMs, std::string& out);
  // Takes received bytes: the data they carry is appended to data, what must be answered to
  // out.
  void Receive(const uint8_t* bytes, size_t count, uint32_t nowMs, std::vector<uint8_t>& data,
               std::string& out);
  // One data byte as it goes on the wire.
  static void Escape(uint8_t value, std::string& out);
  // One data byte to send: after the commands still held, so that a purge or a setting given
  // before it reaches the server's port first.
  void Send(uint8_t value, std::string& out);
  // A COM-PORT-OPTION command with its value; held back until the server agrees to the option
  // (given before Open, until then too).
  void Command(ComPortCommand command, const std::vector<uint8_t>& value, uint32_t nowMs,
               std::string& out);
  // Looks at the clock: commands still unanswered at their bound become unconfirmed (data held
  // behind commands that can no longer go is appended to out). True when the list of
  // unconfirmed names changed since the last call.
  bool Check(uint32_t nowMs, std::string& out);

  bool ComPortAgreed() const { return us_[kComPort] == State::Yes; }
  // Options and commands the server refused or did not confirm in time, by their RFC names
  // ("SET-CONTROL", "BINARY"...), each once, in the order they were found.
  const std::vector<std::string>& Unconfirmed() const { return unconfirmed_; }
  // The last modem state the server sent (NOTIFY-MODEMSTATE), if any.
  std::optional<uint8_t> ModemState() const { return modemState_; }

  static constexpr uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                           kSe = 240;
  static constexpr uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;

 private:
  enum class State : uint8_t { No, WantYes, Yes };
  enum class Input : uint8_t { Data, Iac, Verb, Sub, SubIac };
  struct Pending {
    std::string name;
    uint8_t code;  // the answer's command code, or the option's code for a negotiation
    bool option;
    uint32_t sentMs;
  };

  void Ask(uint8_t verb, uint8_t option, uint32_t nowMs, std::string& out);
  void Negotiate(uint8_t verb, uint8_t option, uint32_t nowMs, std::string& out);
  void SubNegotiation(uint32_t nowMs, std::string& out);
  void Settle(bool option, uint8_t code, bool confirmed);
  void Note(const std::string& name);
  void DropHeld(std::string& out);  // the held commands can never go: named, data released
  void SendCommand(uint8_t code, const std::vector<uint8_t>& value, uint32_t nowMs,
                   std::string& out);
  bool AcceptsForUs(uint8_t option) const;
  static bool AcceptsForServer(uint8_t option);

  bool comPort_;
  bool opened_ = false;
  State us_[256] = {};   // options this side performs (WILL)
  State him_[256] = {};  // options the server performs (DO)
  Input input_ = Input::Data;
  uint8_t verb_ = 0;
  std::vector<uint8_t> sub_;
  std::vector<Pending> pending_;
  std::vector<std::pair<ComPortCommand, std::vector<uint8_t>>> held_;
  std::string heldData_;  // data given while commands were held, as it goes on the wire
  std::vector<std::string> unconfirmed_;
  bool changed_ = false;
  std::optional<uint8_t> modemState_;
};

// The RFC name of a command or option, for what the user reads.
std::string ComPortCommandName(ComPortCommand command);

}  // namespace platform::net
