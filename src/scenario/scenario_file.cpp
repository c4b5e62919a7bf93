#include "scenario/scenario_file.h"

#include <array>
#include <stdexcept>

#include "platform/text/cp1254.h"

namespace {

// A line that does not parse: the message says why.
struct LineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

constexpr int32_t kMostMs = 86'400'000;  // a day

constexpr std::array<std::string_view, 8> kFaultCommands = {"STTX", "ITEM", "ENTX", "PRON",
                                                            "ODTI", "ISIP", "+ACK", "NACK"};

int32_t Number(std::string_view what, std::string_view text, int32_t least, int32_t most) {
  if (text.empty()) throw LineError(std::string(what) + " is missing");
  if (text.size() > 9 || text.find_first_not_of("0123456789") != std::string_view::npos) {
    throw LineError(std::string(what) + " '" + std::string(text) + "' is not a number");
  }
  const int32_t value = std::stoi(std::string(text));
  if (value < least || value > most) {
    throw LineError(std::string(what) + " " + std::string(text) + " is not " +
                    std::to_string(least) + " to " + std::to_string(most));
  }
  return value;
}

// The words of a step without TEXT, split at single blanks; a trailing comment is dropped.
std::vector<std::string_view> Words(std::string_view rest) {
  const size_t comment = rest.rfind('#', 0) == 0 ? 0 : rest.find(" #");
  if (comment != std::string_view::npos) rest = rest.substr(0, comment);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  std::vector<std::string_view> words;
  if (rest.empty()) return words;
  size_t start = 0;
  for (;;) {
    const size_t blank = rest.find(' ', start);
    const std::string_view word = rest.substr(start, blank - start);
    if (word.empty()) throw LineError("one blank between words, not more");
    words.push_back(word);
    if (blank == std::string_view::npos) break;
    start = blank + 1;
  }
  return words;
}

void ExpectNoWords(std::string_view keyword, std::string_view rest) {
  if (!Words(rest).empty()) throw LineError(std::string(keyword) + " takes nothing after it");
}

// TEXT as CP1254; a character the code page lacks would go out as "?", so it is refused.
std::string Text(std::string_view keyword, std::string_view utf8) {
  if (utf8.empty()) throw LineError(std::string(keyword) + " needs a text");
  const std::string cp1254 = platform::Utf8ToCp1254(utf8);
  if (platform::Cp1254ToUtf8(cp1254) != utf8) {
    throw LineError("the text holds a character outside code page 1254");
  }
  return cp1254;
}

// "... within MS" at the end of the line gives the time allowed; "within" followed by anything
// but a number is part of the text.
std::string_view TakeWithin(std::string_view rest, int32_t& ms, int32_t fallback) {
  ms = fallback;
  size_t at = rest.rfind(" within ");
  size_t number = at + 8;
  if (at == std::string_view::npos) {
    if (rest.rfind("within ", 0) != 0) return rest;
    at = 0;
    number = 7;
  }
  const std::string_view digits = rest.substr(number);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return rest;
  }
  ms = Number("the time after 'within'", digits, 1, kMostMs);
  return rest.substr(0, at);
}

void ReadCodes(ScenarioStep& step, std::string_view rest) {
  const std::vector<std::string_view> words = Words(rest);
  if (words.size() != 1) throw LineError("send-codes takes one group of codes (033006005032)");
  const std::string_view codes = words[0];
  if (codes.size() % 3 != 0 || codes.find_first_not_of("0123456789") != std::string_view::npos) {
    throw LineError("'" + std::string(codes) + "' is not groups of three digits (033006005032)");
  }
  for (size_t at = 0; at < codes.size(); at += 3) {
    const int code = std::stoi(std::string(codes.substr(at, 3)));
    if (code > 255) throw LineError("code " + std::string(codes.substr(at, 3)) + " is above 255");
    step.text.push_back(static_cast<char>(code));
  }
}

void ReadFault(ScenarioStep& step, std::string_view rest) {
  const std::vector<std::string_view> words = Words(rest);
  if (words.size() < 2) throw LineError("fault needs a command and an action");
  step.command = std::string(words[0]);
  if (step.command != "*" && !IsFaultCommand(step.command)) {
    throw LineError("'" + step.command +
                    "' is not a command (STTX ITEM ENTX PRON ODTI ISIP +ACK NACK or *)");
  }
  size_t next = 2;
  const std::string_view action = words[1];
  if (action == "nack") {
    step.action = FaultAction::Nack;
  } else if (action == "silent") {
    step.action = FaultAction::Silent;
  } else if (action == "drop") {
    step.action = FaultAction::Drop;
  } else if (action == "bad-check") {
    step.action = FaultAction::BadCheck;
  } else if (action == "delay" || action == "hangup") {
    step.action = action == "delay" ? FaultAction::Delay : FaultAction::Hangup;
    if (words.size() < 3) throw LineError(std::string(action) + " needs its time in ms");
    step.ms = Number("the time of " + std::string(action), words[2], 1, kMostMs);
    next = 3;
  } else {
    throw LineError("'" + std::string(action) +
                    "' is not an action (nack silent drop delay bad-check hangup)");
  }
  if (next == words.size()) return;
  if (words[next] != "times" || next + 2 != words.size()) {
    throw LineError("after the action only 'times N' may follow");
  }
  step.times = Number("the count after 'times'", words[next + 1], 1, 1'000'000);
}

}  // namespace

bool IsFaultCommand(std::string_view command) {
  for (const std::string_view known : kFaultCommands) {
    if (command == known) return true;
  }
  return false;
}

ScenarioParse ParseScenario(std::string_view utf8) {
  Scenario scenario;
  int port = 1;
  bool terminal[5] = {};
  int lineNo = 0;
  size_t start = 0;
  try {
    while (start < utf8.size()) {
      ++lineNo;
      size_t end = utf8.find('\n', start);
      if (end == std::string_view::npos) end = utf8.size();
      std::string_view line = utf8.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      const size_t first = line.find_first_not_of(" \t");
      if (first == std::string_view::npos || line[first] == '#') continue;
      line.remove_prefix(first);

      const size_t blank = line.find(' ');
      const std::string_view keyword = line.substr(0, blank);
      const std::string_view rest =
          blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
      ScenarioStep step;
      step.line = lineNo;
      step.source = std::string(line);
      step.port = port;
      if (keyword == "port") {
        step.kind = StepKind::Port;
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() != 1) throw LineError("port takes one number, 1 to 4");
        port = step.port = Number("the port", words[0], 1, 4);
      } else if (keyword == "send") {
        step.kind = StepKind::Send;
        step.text = Text(keyword, rest);
      } else if (keyword == "send-codes") {
        step.kind = StepKind::SendCodes;
        ReadCodes(step, rest);
      } else if (keyword == "expect") {
        step.kind = StepKind::Expect;
        step.text = Text(keyword, TakeWithin(rest, step.ms, kDefaultExpectMs));
      } else if (keyword == "ack" || keyword == "nack") {
        step.kind = keyword == "ack" ? StepKind::Ack : StepKind::Nack;
        ExpectNoWords(keyword, rest);
      } else if (keyword == "wait") {
        step.kind = StepKind::Wait;
        const std::vector<std::string_view> words = Words(rest);
        if (words.size() != 1) throw LineError("wait takes one time in ms");
        step.ms = Number("the time", words[0], 0, kMostMs);
      } else if (keyword == "terminal") {
        step.kind = StepKind::Terminal;
        ExpectNoWords(keyword, rest);
        terminal[port] = true;
      } else if (keyword == "fault" || keyword == "expect-sale") {
        if (!terminal[port]) {
          throw LineError(std::string(keyword) + " needs 'terminal' on port " +
                          std::to_string(port) + " before it");
        }
        if (keyword == "fault") {
          step.kind = StepKind::Fault;
          ReadFault(step, rest);
        } else {
          step.kind = StepKind::ExpectSale;
          const std::vector<std::string_view> words = Words(rest);
          step.ms = kDefaultExpectSaleMs;
          if (words.size() == 2 && words[0] == "within") {
            step.ms = Number("the time after 'within'", words[1], 1, kMostMs);
          } else if (!words.empty()) {
            throw LineError("expect-sale takes only 'within MS'");
          }
        }
      } else {
        throw LineError("unknown step '" + std::string(keyword) +
                        "' (port send send-codes expect ack nack wait terminal fault "
                        "expect-sale, in lower case)");
      }
      scenario.usesPort[step.port] = true;
      scenario.steps.push_back(std::move(step));
    }
  } catch (const LineError& e) {
    return {std::nullopt, lineNo, e.what()};
  }
  if (scenario.steps.empty()) return {std::nullopt, 0, "no steps"};
  return {std::move(scenario), 0, {}};
}
