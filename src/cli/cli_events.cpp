#include "cli/cli_events.h"

#include <QDateTime>
#include <cstdio>

#include "platform/text/cp1254.h"
#include "senders/byte_codes.h"
#include "serial/port_diagnosis.h"

namespace {

const char* KindName(CliEvent::Kind kind) {
  switch (kind) {
    case CliEvent::Kind::Opened:
      return "open";
    case CliEvent::Kind::Closed:
      return "close";
    case CliEvent::Kind::Received:
      return "rx";
    case CliEvent::Kind::Sent:
      return "sent";
    case CliEvent::Kind::Device:
      return "device";
    case CliEvent::Kind::Step:
      return "step";
    case CliEvent::Kind::Scenario:
      return "scenario";
    case CliEvent::Kind::Lines:
      return "lines";
    case CliEvent::Kind::Set:
      return "set";
    case CliEvent::Kind::Break:
      return "break";
    case CliEvent::Kind::Log:
      break;
  }
  return "log";
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char ch : utf8) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace

std::string EscapeControls(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  const auto escape = [&out](unsigned code) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", code);
    out += hex;
  };
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      escape(byte);
    } else if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F
      escape(next);
      ++i;
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

std::string WallClockNow() {
  return QDateTime::currentDateTime()
      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
      .toStdString();
}

std::string QuotedBytes(const std::string& cp1254) {
  // Built a piece at a time: GCC 12 for MinGW takes "\"" + ... for an overlap (-Wrestrict).
  std::string quoted = "\"";
  quoted += EscapeControls(platform::Cp1254ToUtf8(cp1254));
  quoted += '"';
  return quoted;
}

namespace {

std::string FormatStep(const CliEvent& event, const std::string& time, bool json) {
  const CliStepReport& step = event.step;
  const char* result = step.passed ? "passed" : "failed";
  if (!json) {
    std::string line = time + " com" + std::to_string(event.port) + " step line " +
                       std::to_string(step.line) + ": " + EscapeControls(step.step) + " " + result +
                       " " + std::to_string(step.ms) + " ms";
    if (!step.reason.empty()) line += ": " + EscapeControls(step.reason);
    if (!step.expected.empty()) line += ": expected " + QuotedBytes(step.expected);
    if (!step.got.empty()) line += " got " + QuotedBytes(step.got);
    return line;
  }
  std::string line = "{\"time\":\"" + time + "\",\"port\":" + std::to_string(event.port) +
                     ",\"kind\":\"step\",\"line\":" + std::to_string(step.line) +
                     ",\"step\":" + JsonString(step.step) + ",\"result\":\"" + result +
                     "\",\"ms\":" + std::to_string(step.ms);
  if (!step.passed) {
    line += ",\"reason\":" + JsonString(step.reason) +
            ",\"expected\":" + JsonString(EscapeControls(platform::Cp1254ToUtf8(step.expected))) +
            ",\"got\":" + JsonString(EscapeControls(platform::Cp1254ToUtf8(step.got)));
  }
  return line + "}";
}

std::string FormatScenario(const CliEvent& event, const std::string& time, bool json) {
  const size_t blank = event.text.rfind(' ');
  const std::string file = event.text.substr(0, blank);
  const std::string result = event.text.substr(blank + 1);
  if (!json) return time + " scenario " + EscapeControls(file) + " " + result;
  return "{\"time\":\"" + time + "\",\"kind\":\"scenario\",\"file\":" + JsonString(file) +
         ",\"result\":\"" + result + "\"}";
}

}  // namespace

std::string FormatEvent(const CliEvent& event, const std::string& time, bool json) {
  if (event.kind == CliEvent::Kind::Step) return FormatStep(event, time, json);
  if (event.kind == CliEvent::Kind::Scenario) return FormatScenario(event, time, json);
  const std::string text =
      event.kind == CliEvent::Kind::Sent
          ? BytesToByteCodes(std::string(event.bytes.begin(), event.bytes.end()))
          : platform::Cp1254ToUtf8(event.text);
  if (!json) {
    return time + " com" + std::to_string(event.port) + " " + KindName(event.kind) + " " +
           EscapeControls(text);
  }
  std::string line = "{\"time\":\"" + time + "\",\"port\":" + std::to_string(event.port) +
                     ",\"kind\":\"" + KindName(event.kind) + "\"";
  if (event.kind == CliEvent::Kind::Received || event.kind == CliEvent::Kind::Sent) {
    line += ",\"bytes\":[";
    for (size_t i = 0; i < event.bytes.size(); ++i) {
      if (i > 0) line += ',';
      line += std::to_string(event.bytes[i]);
    }
    line += ']';
  }
  if (!event.jsonFields.empty()) line += "," + event.jsonFields;
  return line + ",\"text\":" + JsonString(text) + "}";
}

namespace {

// "a=1 b=0" and "\"a\":1,\"b\":0" for the named lines.
void AddLines(CliEvent& event, std::initializer_list<std::pair<const char*, bool>> lines) {
  event.jsonFields = "\"known\":true";
  for (const auto& [name, on] : lines) {
    if (!event.text.empty()) event.text += ' ';
    event.text += std::string(name) + (on ? "=1" : "=0");
    event.jsonFields += ",\"" + std::string(name) + (on ? "\":1" : "\":0");
  }
}

CliEvent Unknown(CliEvent::Kind kind, int port, const platform::ModemLines& lines) {
  return {kind,
          port,
          {},
          platform::Utf8ToCp1254("unknown: " + DescribeLinesUnknown(lines, false)),
          "\"known\":false"};
}

}  // namespace

CliEvent LinesEvent(int port, const platform::ModemLines& lines) {
  if (!lines.Known) return Unknown(CliEvent::Kind::Lines, port, lines);
  CliEvent event{CliEvent::Kind::Lines, port, {}, {}, {}};
  AddLines(event, {{"cts", lines.Cts}, {"dsr", lines.Dsr}, {"dcd", lines.Dcd}, {"ri", lines.Ri}});
  return event;
}

CliEvent OutputsEvent(int port, const platform::ModemLines& lines) {
  if (!lines.OutputsKnown) return Unknown(CliEvent::Kind::Set, port, lines);
  CliEvent event{CliEvent::Kind::Set, port, {}, {}, {}};
  AddLines(event, {{"dtr", lines.Dtr}, {"rts", lines.Rts}});
  return event;
}
