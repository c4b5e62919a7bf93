#pragma once
// The directory of the running executable, with its trailing "/": the programs' files are
// beside it unless they are installed (see app_files.h). Paths inside the programs are UTF-8.

#include <string>

namespace platform {

std::string ExecutableDir();

namespace detail {
// The same from the system itself, for when no application object exists (yet).
std::string SystemExecutableDir();
}  // namespace detail

}  // namespace platform
