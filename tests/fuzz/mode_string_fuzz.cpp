// Fuzzes the mode-string check and the fields read from it. An accepted string names a "com"
// device in lower case and either gives its fields or the conversion error with the exact message;
// nothing else may come out, and nothing longer than 255 characters is accepted.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/text/int_conv.h"
#include "serial/ComUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string mode(reinterpret_cast<const char*>(data), size);
  // Also try the form the window builds: "com1:" + settings.
  for (const std::string& candidate : {mode, "com1:" + mode}) {
    if (!ModeStringAccepted(candidate)) continue;
    if (candidate.size() > 255) std::abort();
    // The port name is lower-case "com", one or more digits and ":"; "COM" is refused.
    const size_t colon = candidate.find(':');
    if (candidate.compare(0, 3, "com") != 0 || colon == 3 ||
        candidate.find_first_not_of("0123456789", 3) != colon)
      std::abort();
    if (ModeStringAccepted("COM" + candidate.substr(3))) std::abort();
    if (ModeDeviceName(candidate) != candidate.substr(0, 5)) std::abort();
    const size_t comma = candidate.find(',');
    try {
      const ModeFields fields = ReadModeFields(candidate);
      if (comma == std::string::npos) std::abort();  // no comma: the baud text is empty
      const auto baud = platform::TryStrToInt(candidate.substr(5, comma - 5));
      if (!baud || static_cast<uint32_t>(*baud) != fields.BaudRate) std::abort();
      const char parity = candidate[comma + 1];
      if (fields.ParityNone != (parity == 'n') || fields.ParityEven != (parity == 'e'))
        std::abort();
    } catch (const platform::ConvertError& e) {
      if (std::string(e.what()).find("' is not a valid integer value") == std::string::npos)
        std::abort();
    }
  }
  return 0;
}
