#pragma once
// The events wirelab-cli reports, one line each: a port opened, received bytes (a burst of
// receive entries), bytes sent, a line the POS terminal logs (the same line the window's pane
// gets), and a port closed.
//
// Text form:  2026-12-08 14:03:07.125 com1 rx <1234>A(65 )<1240>·(13 )
// JSON form:  {"time":"2026-12-08 14:03:07.125","port":1,"kind":"rx","bytes":[65,13],"text":"..."}
//
// A scenario's steps and files are events too:
//   ... com1 step line 7: expect 001001ACK? passed 12 ms
//   ... com1 step line 9: expect 001002ACK? failed 2001 ms: a different packet: expected
//       "001002ACKE\r" got "001002NACKQ\r"                      (one line)
//   ... scenario sale.scn passed
//   {"time":...,"port":1,"kind":"step","line":9,"step":"expect 001002ACK?","result":"failed",
//    "ms":2001,"reason":"a different packet","expected":"001002ACKE\r","got":"001002NACKQ\r"}
//   {"time":...,"kind":"scenario","file":"sale.scn","result":"passed"}
//
// Texts come in as CP1254 and go out as UTF-8. In the text form no control character leaves
// but the line's own end: a device path or a received byte cannot start a false line or steer
// the reader's terminal.

#include <cstdint>
#include <string>
#include <vector>

// A scenario step's result; texts are UTF-8, expected and got CP1254 bytes.
struct CliStepReport {
  int line = 0;
  std::string step;
  bool passed = false;
  uint32_t ms = 0;
  std::string reason, expected, got;
};

struct CliEvent {
  enum class Kind { Opened, Received, Sent, Log, Closed, Device, Step, Scenario };
  Kind kind = Kind::Log;
  int port = 0;
  std::vector<uint8_t> bytes;  // Received and Sent: the bytes themselves
  std::string text;  // Received: the entries; Log: the line; Opened, Closed: the device; Device:
                     // the device gone (with why) or back (CP1254); Scenario: the file
                     // (UTF-8) and the result ("started", "passed", "failed")
  CliStepReport step{};  // Step
};

// Local wall-clock time to the millisecond: "YYYY-MM-DD HH:MM:SS.mmm".
std::string WallClockNow();

// UTF-8 text with its control characters (C0, DEL, C1) escaped as \n, \r, \t or \xHH, and a
// backslash as \\, so that what is shown reads back unambiguously.
std::string EscapeControls(const std::string& utf8);
// CP1254 bytes in quotes, as the text output shows them ("001ACK\r").
std::string QuotedBytes(const std::string& cp1254);

// One line without its line end. A Sent event's text is its bytes as three-digit codes, the
// form --send takes.
std::string FormatEvent(const CliEvent& event, const std::string& time, bool json);
