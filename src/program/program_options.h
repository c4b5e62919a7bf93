#pragma once
// The window program's command line:
//   wirelab [--com1 PATH] .. [--com4 PATH] [--capture DIR] [--list-ports]
//           [--screenshot FILE.png] [--menu-screenshot FILE.png] [--version]
// --comN maps port N to a device for this run, ahead of WireLab.ini; --capture records each
// port's pane into DIR from every tick of "Open"; --screenshot and --menu-screenshot draw the
// window, and com1's device menu, into a PNG file and end. Paths are UTF-8.

#include <array>
#include <string>
#include <vector>

struct ProgramOptions {
  bool listPorts = false;
  bool version = false;  // print the version and end
  std::string screenshot;
  std::string menuScreenshot;      // draws the context menu of port 1 (for the README)
  std::array<std::string, 5> com;  // [1..4], empty: no mapping given
  std::string captureDir;          // empty: no recording on "Open"
  std::string error;               // why the command line was refused; empty when it was not
};

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
extern const char* const kProgramUsage;
