#pragma once
// The events wirelab-cli reports, one line each: a port opened, received bytes (a burst of
// receive entries), bytes sent, a line the POS terminal logs (the same line the window's pane
// gets), and a port closed.
//
// Text form:  2026-12-08 14:03:07.125 com1 rx <1234>A(65 )<1240>·(13 )
// JSON form:  {"time":"2026-12-08 14:03:07.125","port":1,"kind":"rx","bytes":[65,13],"text":"..."}
//
// Texts come in as CP1254 and go out as UTF-8. In the text form no control character leaves
// but the line's own end: a device path or a received byte cannot start a false line or steer
// the reader's terminal.

#include <cstdint>
#include <string>
#include <vector>

struct CliEvent {
  enum class Kind { Opened, Received, Sent, Log, Closed, Device };
  Kind kind = Kind::Log;
  int port = 0;
  std::vector<uint8_t> bytes;  // Received and Sent: the bytes themselves
  std::string text;  // Received: the entries; Log: the line; Opened, Closed: the device; Device:
                     // the device gone (with why) or back (CP1254)
};

// Local wall-clock time to the millisecond: "YYYY-MM-DD HH:MM:SS.mmm".
std::string WallClockNow();

// UTF-8 text with its control characters (C0, DEL, C1) escaped as \n, \r, \t or \xHH, and a
// backslash as \\, so that what is shown reads back unambiguously.
std::string EscapeControls(const std::string& utf8);

// One line without its line end. A Sent event's text is its bytes as three-digit codes, the
// form --send takes.
std::string FormatEvent(const CliEvent& event, const std::string& time, bool json);
