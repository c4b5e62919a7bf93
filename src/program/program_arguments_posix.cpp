#include "program/program_arguments.h"

// The arguments are passed on as they came; a UTF-8 system gives them as UTF-8.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}
