#include <windows.h>
// after windows.h
#include <shellapi.h>

#include "platform/text/win32_text.h"
#include "program/program_arguments.h"

// argv holds the arguments in the system's code page, which loses letters outside it: they
// are read again from the wide command line.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(platform::FromWide(wide[i]));
  LocalFree(wide);
  return args;
}
