#include <windows.h>
// shellapi.h after windows.h, which it needs.
#include <shellapi.h>

#include "platform/text/program_arguments.h"
#include "platform/text/win32_text.h"

namespace platform {

// argv holds the arguments in the ANSI code page, where letters outside it are lost: take
// them as Windows keeps them, in UTF-16.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace platform
