#include "cli/cli_options.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/devices/com_devices.h"
#include "platform/devices/network_port.h"
#include "platform/text/cp1254.h"
#include "platform/text/int_conv.h"
#include "serial/ComUtils.h"

namespace {

// A usage error: the message names the option.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& option, const std::string& what) {
  throw UsageError(option + ": " + what);
}

int Number(const std::string& option, const std::string& text, int least, int most = 2147483647) {
  const std::optional<int32_t> value = platform::TryStrToInt(text);
  if (!value || text.find_first_not_of("0123456789") != std::string::npos) {
    Fail(option, "'" + text + "' is not a number");
  }
  if (*value < least || *value > most) {
    Fail(option, "'" + text + "' is not " + std::to_string(least) + " to " + std::to_string(most));
  }
  return *value;
}

// Seconds with up to three decimals ("2", "0.5", "1.25"), as milliseconds; at most what the
// toolkit's timer takes.
int Milliseconds(const std::string& option, const std::string& text) {
  const size_t dot = text.find('.');
  const std::string whole = text.substr(0, dot);
  std::string fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
  const bool digits = whole.find_first_not_of("0123456789") == std::string::npos &&
                      fraction.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || whole.empty() || fraction.size() > 3 ||
      (dot != std::string::npos && fraction.empty())) {
    Fail(option, "'" + text + "' is not a number of seconds (60, 0.5)");
  }
  fraction.resize(3, '0');
  const int ms = Number(option, whole, 0, 2147483) * 1000 + std::stoi(fraction);
  if (ms == 0) Fail(option, "'" + text + "' is not more than 0");
  return ms;
}

int PortNumber(const std::string& option, const std::string& text) {
  if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
    Fail(option, "port '" + text + "' is not 1 to 4");
  }
  return text[0] - '0';
}

bool LooksLikeSettings(const std::string& text) {
  return !text.empty() && text.find_first_not_of(
                              "0123456789abcdefghijklmnopqrstuvwxyz"
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZ,.") == std::string::npos;
}

// The settings text must open a port the way the window's field would, without an error:
// the platform's mode-string check, then the fields read at their fixed places.
void CheckSettings(int port, const std::string& settings) {
  const std::string option = "--port " + std::to_string(port);
  if (settings.find(',') == std::string::npos) {
    Fail(option, "settings '" + settings + "' have no comma (9600,n,8,1)");
  }
  const std::string mode = "com" + std::to_string(port) + ":" + settings;
  bool accepted = ModeStringAccepted(mode);
  if (accepted) {
    try {
      ReadModeFields(mode);
    } catch (const platform::ConvertError&) {
      accepted = false;
    }
  }
  if (!accepted) Fail(option, "settings '" + settings + "' are not baud,parity,data,stop");
}

// N[=DEVICE][:SETTINGS]. The settings follow the last colon; a device path that has colons
// of its own (the by-path names) keeps them, since what follows its last colon is no
// settings text. A port on another machine (rfc2217://HOST:PORT) ends at its port number.
void ReadPort(CliOptions& options, const std::string& value) {
  std::string portAndDevice = value;
  std::string settings = "9600,n,8,1";
  // After a port name of the system's own ("COM1" on Windows) comes ":SETTINGS" or nothing;
  // after a path, settings are what follows the last colon when it looks like settings or
  // holds a comma (a stray blank must not make them part of the device's name).
  // A port on another machine (rfc2217://HOST:PORT) ends where its port number does; settings
  // follow one more colon.
  const size_t equals = portAndDevice.find('=');
  const size_t nameStart = equals == std::string::npos ? portAndDevice.size() : equals + 1;
  const std::string device = portAndDevice.substr(nameStart);
  const size_t network = platform::NetworkDeviceLength(device);
  // Built by appending: GCC 12 warns falsely of an overlap on the chain of + here.
  std::string quoted = "'";
  quoted += device;
  quoted += "'";
  if (network == 0 && platform::IsNetworkDevice(device)) {
    Fail("--port", quoted +
                       " is not HOST:PORT after the scheme (rfc2217://HOST:PORT or "
                       "tcp://HOST:PORT, a port from 1 to 65535)");
  }
  const size_t name = network > 0 ? network : platform::PortNameLength(device);
  const size_t colon = name > 0 ? nameStart + name : portAndDevice.rfind(':');
  if (name > 0 && colon < portAndDevice.size() && portAndDevice[colon] != ':') {
    Fail("--port", network > 0 ? quoted +
                                     " has no colon before its settings "
                                     "(rfc2217://HOST:PORT:9600,n,8,1)"
                               : quoted + " is not a port name (COM1, or COM1:9600,n,8,1)");
  }
  if (colon < portAndDevice.size() &&
      (name > 0 || LooksLikeSettings(portAndDevice.substr(colon + 1)) ||
       portAndDevice.find(',', colon) != std::string::npos)) {
    settings = portAndDevice.substr(colon + 1);
    portAndDevice.resize(colon);
  }
  const int n = PortNumber("--port", portAndDevice.substr(0, equals));
  CliPortOption& port = options.ports[n];
  if (port.given) Fail("--port", "port " + std::to_string(n) + " is given twice");
  port.given = true;
  if (equals != std::string::npos) {
    port.device = portAndDevice.substr(equals + 1);
    if (port.device.empty()) Fail("--port", "no device after '='");
  }
  CheckSettings(n, settings);
  port.settings = settings;
}

// N=0 or N=1.
void ReadLine(std::array<std::optional<bool>, 5>& lines, const std::string& option,
              const std::string& value) {
  const size_t equals = value.find('=');
  const std::string state = equals == std::string::npos ? "" : value.substr(equals + 1);
  const int n = PortNumber(option, value.substr(0, equals));
  if (state != "0" && state != "1") Fail(option, "'" + value + "' is not N=0 or N=1");
  lines[n] = state == "1";
}

void CheckByteCodes(const std::string& codes) {
  if (codes.empty() || codes.size() % 3 != 0 ||
      codes.find_first_not_of("0123456789") != std::string::npos) {
    Fail("--send", "'" + codes + "' is not groups of three digits (033006005032)");
  }
  for (size_t at = 0; at < codes.size(); at += 3) {
    if (std::stoi(codes.substr(at, 3)) > 255) {
      Fail("--send", "code " + codes.substr(at, 3) + " in '" + codes + "' is above 255");
    }
  }
}

}  // namespace

const char* CliUsage() {
  return "usage: wirelab-cli --port N[=DEVICE][:SETTINGS]... [--pos N] [--pos-number TEXT] "
         "[--send N CODES] [--packet N TEXT] [--sleep MS] [--every MS] [--duration S] "
         "[--json] [--log FILE] [--lines] [--dtr N=0|1] [--rts N=0|1] [--break N] [--hex] "
         "[--scenario FILE]... [--junit FILE] [--record-scenario FILE] | --list-ports | --help | "
         "--version";
}

CliParse ParseCliOptions(const std::vector<std::string>& args) {
  CliOptions options;
  try {
    size_t i = 0;
    auto value = [&](const std::string& option) -> std::string {
      if (i + 1 >= args.size()) Fail(option, "missing value");
      return args[++i];
    };
    for (; i < args.size(); ++i) {
      const std::string& arg = args[i];
      if (arg == "--help" || arg == "-h") {
        options.help = true;
        return {options, {}};
      } else if (arg == "--version") {
        options.version = true;
        return {options, {}};
      } else if (arg == "--port") {
        ReadPort(options, value(arg));
      } else if (arg == "--pos") {
        options.pos[PortNumber(arg, value(arg))] = true;
      } else if (arg == "--pos-number") {
        options.posNumber = platform::Utf8ToCp1254(value(arg));
      } else if (arg == "--send" || arg == "--packet") {
        CliSendAction send;
        send.kind = arg == "--send" ? CliSendAction::Kind::ByteCodes : CliSendAction::Kind::Packet;
        send.port = PortNumber(arg, value(arg));
        send.text = value(arg);
        if (send.kind == CliSendAction::Kind::ByteCodes) CheckByteCodes(send.text);
        send.text = platform::Utf8ToCp1254(send.text);
        options.sends.push_back(send);
      } else if (arg == "--sleep") {
        options.sleepMs = Number(arg, value(arg), 0);
      } else if (arg == "--every") {
        options.everyMs = Number(arg, value(arg), 1);
      } else if (arg == "--duration") {
        options.durationMs = Milliseconds(arg, value(arg));
      } else if (arg == "--json") {
        options.json = true;
      } else if (arg == "--log") {
        options.logPath = value(arg);
        if (options.logPath.empty()) Fail(arg, "empty file name");
      } else if (arg == "--scenario") {
        options.scenarios.push_back(value(arg));
        if (options.scenarios.back().empty()) Fail(arg, "empty file name");
      } else if (arg == "--junit") {
        options.junitPath = value(arg);
        if (options.junitPath.empty()) Fail(arg, "empty file name");
      } else if (arg == "--record-scenario") {
        options.recordPath = value(arg);
        if (options.recordPath.empty()) Fail(arg, "empty file name");
      } else if (arg == "--hex") {
        options.hex = true;
      } else if (arg == "--lines") {
        options.lines = true;
      } else if (arg == "--dtr") {
        ReadLine(options.dtr, arg, value(arg));
      } else if (arg == "--rts") {
        ReadLine(options.rts, arg, value(arg));
      } else if (arg == "--break") {
        options.sendBreak[PortNumber(arg, value(arg))] = true;
      } else if (arg == "--list-ports") {
        options.listPorts = true;
      } else {
        Fail(arg, "unknown option");
      }
    }

    if (options.listPorts) {
      if (args.size() != 1) Fail("--list-ports", "takes no other option");
      return {options, {}};
    }
    const auto given = [&](int n) { return options.ports[n].given; };
    bool anyPort = false;
    for (int n = 1; n <= 4; ++n) {
      anyPort = anyPort || given(n);
      const auto need = [&](bool used, const char* option) {
        if (used && !given(n)) Fail(option, "port " + std::to_string(n) + " has no --port");
      };
      need(options.pos[n], "--pos");
      need(options.dtr[n].has_value(), "--dtr");
      need(options.rts[n].has_value(), "--rts");
      need(options.sendBreak[n], "--break");
    }
    if (!anyPort) Fail("--port", "no port given");
    for (const CliSendAction& send : options.sends) {
      const char* option = send.kind == CliSendAction::Kind::ByteCodes ? "--send" : "--packet";
      if (!given(send.port)) Fail(option, "port " + std::to_string(send.port) + " has no --port");
    }
    if (options.everyMs > 0 && options.sends.empty()) Fail("--every", "nothing to send");
    if (!options.junitPath.empty() && options.scenarios.empty()) Fail("--junit", "no --scenario");
    if (!options.recordPath.empty()) {
      if (!options.scenarios.empty()) Fail("--record-scenario", "not with --scenario");
      bool anyPos = false;
      for (int n = 1; n <= 4; ++n) anyPos = anyPos || options.pos[n];
      if (!anyPos) Fail("--record-scenario", "no --pos port to record");
    }
    return {options, {}};
  } catch (const UsageError& e) {
    return {std::nullopt, e.what()};
  }
}
