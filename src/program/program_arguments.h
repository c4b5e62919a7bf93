#pragma once
// The command line's arguments after the program's name, as UTF-8 text: the programs take
// device paths and file names as UTF-8 on every system.

#include <string>
#include <vector>

std::vector<std::string> ProgramArguments(int argc, char** argv);
