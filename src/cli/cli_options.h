#pragma once
// The command line of wirelab-cli, read and checked before anything is opened.
//
//   --port N[=DEVICE][:SETTINGS]  --pos N  --pos-number TEXT  --send N CODES  --packet N TEXT
//   --sleep MS  --every MS  --duration S  --json  --log FILE  --scenario FILE  --junit FILE
//   --record-scenario FILE  --list-ports  --help  --version
//
// Texts that go on the line or into packets (CODES, TEXT, --pos-number) are taken from the
// command line as UTF-8 and held as the system's CP1254.

#include <array>
#include <optional>
#include <string>
#include <vector>

struct CliPortOption {
  bool given = false;
  std::string device;    // empty: WireLab.ini's "Ports" mapping or /dev/ttyS(N-1)
  std::string settings;  // the settings text of the window's port field
};

struct CliSendAction {
  enum class Kind { ByteCodes, Packet };
  Kind kind = Kind::ByteCodes;
  int port = 0;
  std::string text;  // CP1254
};

struct CliOptions {
  std::array<CliPortOption, 5> ports{};  // [1..4]
  std::array<bool, 5> pos{};             // [1..4]: the POS terminal answers on this port
  std::string posNumber = "001";         // what "Pos No:" holds, CP1254
  std::vector<CliSendAction> sends;      // in command-line order
  int sleepMs = 0;                       // pause after every byte of byte codes
  int everyMs = 0;                       // 0: the sends go once
  int durationMs = 0;                    // 0: until SIGINT or SIGTERM
  bool json = false;
  std::string logPath;                 // empty: no log file
  std::vector<std::string> scenarios;  // run one after the other; then the program ends
  std::string junitPath;               // empty: no JUnit report
  std::string recordPath;              // --record-scenario: empty, none
  bool listPorts = false;
  bool help = false;     // --help or -h: the usage on stdout, nothing else
  bool version = false;  // --version: the version on stdout, nothing else
};

struct CliParse {
  std::optional<CliOptions> options;
  std::string error;  // one line naming the option, when options is empty
};

CliParse ParseCliOptions(const std::vector<std::string>& args);

// The usage line: printed after a usage error, and for --help.
const char* CliUsage();
