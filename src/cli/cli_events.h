#pragma once
// The events wirelab-cli reports, one line each: a port opened, received bytes (a burst of
// receive entries), bytes sent, a line the POS terminal logs (the same line the window's pane
// gets), a port closed, the modem lines (--lines: at the start and at each change of an input
// line), the output lines read back after --dtr/--rts, and a break sent.
//
// Text form:  2026-12-08 14:03:07.125 com1 rx <1234>A(65 )<1240>·(13 )
// JSON form:  {"time":"2026-12-08 14:03:07.125","port":1,"kind":"rx","bytes":[65,13],"text":"..."}
//
//             ... com1 lines cts=1 dsr=1 dcd=0 ri=0      {...,"kind":"lines","known":true,
//             ... com1 lines unknown: REASON               "cts":1,"dsr":1,"dcd":0,"ri":0,...}
//             ... com1 set dtr=1 rts=0 {...,"kind":"set","known":true,"dtr":1,...}
//             ... com1 break 250                         {...,"kind":"break","ms":250,...}
//
// Texts come in as CP1254 and go out as UTF-8. In the text form no control character leaves
// but the line's own end: a device path or a received byte cannot start a false line or steer
// the reader's terminal.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/devices/serial_device.h"

struct CliEvent {
  enum class Kind { Opened, Received, Sent, Log, Closed, Device, Lines, Set, Break };
  Kind kind = Kind::Log;
  int port = 0;
  std::vector<uint8_t> bytes;  // Received and Sent: the bytes themselves
  std::string text;  // Received: the entries; Log: the line; Opened, Closed: the device; Device:
                     // the device gone (with why) or back (CP1254); Lines, Set, Break:
                     // what the text form shows after the kind
  std::string jsonFields = {};  // Lines, Set, Break: "name":value pairs the JSON form adds
};

// The Lines event of the input lines, or the Set event of the output lines; reasons in English.
CliEvent LinesEvent(int port, const platform::ModemLines& lines);
CliEvent OutputsEvent(int port, const platform::ModemLines& lines);

// Local wall-clock time to the millisecond: "YYYY-MM-DD HH:MM:SS.mmm".
std::string WallClockNow();

// UTF-8 text with its control characters (C0, DEL, C1) escaped as \n, \r, \t or \xHH, and a
// backslash as \\, so that what is shown reads back unambiguously.
std::string EscapeControls(const std::string& utf8);

// One line without its line end. A Sent event's text is its bytes as three-digit codes, the
// form --send takes.
std::string FormatEvent(const CliEvent& event, const std::string& time, bool json);
