#include "platform/text/program_arguments.h"

namespace platform {

// The arguments are the bytes the shell passed, UTF-8 on a system set up for it.
std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace platform
