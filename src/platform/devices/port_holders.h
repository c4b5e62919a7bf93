#pragma once
// Who holds a serial device: the process named in its "LCK.." lock file, and the processes
// that have it open. Best effort: what the system does not let us see is left out.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The live process that the device's lock file in /var/lock names, or 0 when there is no
// lock file, it names no process, or that process has ended (a stale lock).
int64_t LockFileHolder(const std::string& devicePath);

struct PortHolder {
  int64_t pid = 0;
  std::string name;  // the program's name, as the system gives it
};
// The processes that have the device open (this one included), each once, by process id.
std::vector<PortHolder> PortHolders(const std::string& devicePath);

}  // namespace platform
