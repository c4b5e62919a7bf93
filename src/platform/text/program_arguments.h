#pragma once
// The program's command-line arguments after its name, as UTF-8: paths with Turkish letters
// reach the program as they were typed, whatever the system's code page.

#include <string>
#include <vector>

namespace platform {

std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace platform
