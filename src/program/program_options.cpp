#include "program/program_options.h"

const char* const kProgramUsage =
    "usage: wirelab [--com1 PATH] [--com2 PATH] [--com3 PATH] [--com4 PATH] [--capture DIR] "
    "[--list-ports] [--screenshot FILE.png] [--menu-screenshot FILE.png] [--version]";

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args) {
  ProgramOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size() && !args[i + 1].empty();
    if (arg == "--list-ports") {
      options.listPorts = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--screenshot" || arg == "--menu-screenshot") {
      if (!hasValue) return options.error = arg + " needs a file name", options;
      (arg == "--screenshot" ? options.screenshot : options.menuScreenshot) = args[++i];
    } else if (arg == "--capture") {
      if (!hasValue) return options.error = arg + " needs a folder", options;
      options.captureDir = args[++i];
    } else if (arg.rfind("--com", 0) == 0) {
      const std::string number = arg.substr(5);
      if (number.size() != 1 || number[0] < '1' || number[0] > '4') {
        return options.error = arg + ": the port number must be 1 to 4", options;
      }
      if (!hasValue) return options.error = arg + " needs a device path", options;
      options.com[number[0] - '0'] = args[++i];
    } else {
      return options.error = "unknown option " + arg, options;
    }
  }
  return options;
}
