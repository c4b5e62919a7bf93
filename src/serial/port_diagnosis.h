#pragma once
// A port's problem in plain words, with the fix where there is one: for the window's tooltips
// and the command line's errors.

#include <string>

#include "platform/serial_device.h"

struct PortDiagnosis {
  platform::PortError error = platform::PortError::None;
  std::string devicePath;
  std::string settings;         // the settings text, for refused settings
  std::string settingsNote;     // the error that reading them raised, if any
  bool forCommandLine = false;  // advice for wirelab-cli's options rather than the window
};

// One line naming the problem ("busy: ..."), or empty when there is none.
std::string DescribePortProblem(const PortDiagnosis& diagnosis);
