#pragma once
// A port's problem in plain words, with the fix where there is one: in Turkish for the window's
// tooltips, in English for the command line's errors. UTF-8, like the device path it names.

#include <string>
#include <vector>

#include "platform/devices/serial_device.h"

struct PortDiagnosis {
  platform::PortError error = platform::PortError::None;
  std::string devicePath;
  std::string settings;         // the settings text, for refused settings
  std::string settingsNote;     // the error that reading them raised, if any
  bool forCommandLine = false;  // English, and advice for wirelab-cli's options
  uint32_t rateKept = 0;        // refused settings: the rate the device kept instead of theirs
};

// One line naming the problem ("meşgul: ...", "busy: ..."), or empty when there is none.
std::string DescribePortProblem(const PortDiagnosis& diagnosis);

// Why the modem lines are not known, in a few words ("bu cihazın modem hatları yok..."); UTF-8.
std::string DescribeLinesUnknown(const platform::ModemLines& lines, bool turkish);
// One line naming the options the server of a port on another machine refused or left
// unanswered ("sunucu onaylamadı: SET-CONTROL ..."); empty when there are none.
std::string DescribeLinkNote(const std::vector<std::string>& unconfirmed, bool forCommandLine);
