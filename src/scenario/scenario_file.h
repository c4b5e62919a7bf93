#pragma once
// A scenario file: plain UTF-8 text, one step a line, read whole before anything runs.
//
//   port N                      the steps below act on port N (1 to 4); 1 until one is given
//   send TEXT                   TEXT framed as a packet (check letter and CR added)
//   send-codes CODES            raw bytes as three-digit codes (033006005032)
//   expect TEXT [within MS]     the next packet on the port is TEXT ("?" any one character)
//                               with its right check letter, within MS (2000)
//   ack / nack                  the register's acknowledgement of the last packet taken
//   wait MS                     a pause; packets arriving meanwhile wait for the next expect
//   terminal                    WireLab plays the POS terminal on the port from here on
//   fault CMD ACTION [times N]  changes the terminal's behaviour for packets of command CMD
//   expect-sale [within MS]     a sale opened by STTX is closed by its PROV's ack within MS
//                               (60000)
//
// A line whose first non-blank character is "#" is a comment, a blank line is skipped. A
// keyword is lower case and one blank parts it from what follows. TEXT is the rest of the line,
// blanks, "|" and "#" included; the steps without TEXT may end in a comment. Texts are held as
// CP1254, the bytes that go on the line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class StepKind { Port, Send, SendCodes, Expect, Ack, Nack, Wait, Terminal, Fault, ExpectSale };

enum class FaultAction {
  Nack,      // the terminal answers NACK and keeps its state, as for a packet it rejects
  Silent,    // the terminal takes the packet; its reply is lost
  Drop,      // the packet is lost before the terminal sees it
  Delay,     // what the terminal sends for the packet goes out ms later
  BadCheck,  // the reply carries a wrong check letter
  Hangup     // the port closes as the packet arrives, for ms, and opens again
};

struct ScenarioStep {
  int line = 0;        // 1-based line number in the file
  std::string source;  // the step as written (UTF-8), for reports
  StepKind kind = StepKind::Port;
  int port = 1;         // the port the step acts on
  std::string text;     // Send, Expect: CP1254 text (Expect: "?" any one byte); SendCodes: bytes
  int32_t ms = 0;       // Expect, ExpectSale: the time allowed; Wait; Fault: Delay and Hangup
  std::string command;  // Fault: the four-letter command or "*"
  FaultAction action = FaultAction::Nack;
  int32_t times = -1;  // Fault: how many packets; -1: every one
};

struct Scenario {
  std::vector<ScenarioStep> steps;
  // The ports the steps act on, [1..4].
  bool usesPort[5] = {};
};

struct ScenarioParse {
  std::optional<Scenario> scenario;
  int line = 0;        // where a file that does not parse goes wrong
  std::string reason;  // why, in plain words
};

constexpr int32_t kDefaultExpectMs = 2000;
constexpr int32_t kDefaultExpectSaleMs = 60000;

ScenarioParse ParseScenario(std::string_view utf8);

// The commands a fault can name; "*" names any.
bool IsFaultCommand(std::string_view command);
