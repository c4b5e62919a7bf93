// Fuzzes the reading of scenario files: any text either parses into steps that name lines of
// the file and ports 1 to 4, or is refused with a line inside the file and a reason.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scenario/scenario_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  int lines = 1;
  for (const char ch : text) lines += ch == '\n';
  const ScenarioParse parse = ParseScenario(text);
  if (!parse.scenario) {
    if (parse.reason.empty() || parse.line < 0 || parse.line > lines) std::abort();
    return 0;
  }
  int previous = 0;
  for (const ScenarioStep& step : parse.scenario->steps) {
    if (step.line <= previous || step.line > lines || step.port < 1 || step.port > 4) std::abort();
    previous = step.line;
  }
  return 0;
}
