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
// The process a stale lock file names (one that has ended), or 0.
int64_t StaleLockFileHolder(const std::string& devicePath);
// Writes the device's lock file with this process's id, in place of a stale one, so that
// programs that honour lock files leave the port alone and a hold left by a killed WireLab
// can be told from another program's. Best effort: where /var/lock is not ours to write,
// nothing is written. Returns the lock file's path, empty when none was written.
std::string TakeLockFile(const std::string& devicePath);
// Removes the lock file that TakeLockFile wrote, where it still names this process (taken by
// the file's path: the device's own name may be gone by then, an adapter pulled out).
void ReleaseLockFile(const std::string& lockPath);

struct PortHolder {
  int64_t pid = 0;
  std::string name;  // the program's name, as the system gives it
};
// The processes that have the device open (this one included), each once, by process id.
std::vector<PortHolder> PortHolders(const std::string& devicePath);

}  // namespace platform
