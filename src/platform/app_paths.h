#pragma once
// The directory of the running executable, with its trailing "/". Tests point it elsewhere.

#include <string>

namespace platform {

std::string ExecutableDir();
void SetExecutableDirForTests(const std::string& dir);  // empty: the real directory again

}  // namespace platform
