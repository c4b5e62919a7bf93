#pragma once
// The directory of the running executable, with its trailing "/": where the programs look for
// WireLab.ini and the window writes OmronResults.txt. The programs hand it down; nothing here
// can move it. Paths inside the programs are UTF-8.

#include <string>

namespace platform {

std::string ExecutableDir();

namespace detail {
// The same from the system itself, for when no application object exists (yet).
std::string SystemExecutableDir();
}  // namespace detail

}  // namespace platform
