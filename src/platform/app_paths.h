#pragma once
// The directory of the running executable, with its trailing "/": where the programs look for
// WireLab.ini and the window writes OmronResults.txt. The programs hand it down; nothing here
// can move it.

#include <string>

namespace platform {

std::string ExecutableDir();

}  // namespace platform
