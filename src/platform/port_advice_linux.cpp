#include <sys/stat.h>
#include <unistd.h>

#include "platform/port_advice.h"
#include "platform/port_holders.h"

namespace platform {

std::string DeviceKindText(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "not a serial device";
  if (S_ISREG(st.st_mode)) return "a regular file";
  if (S_ISDIR(st.st_mode)) return "a directory";
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  struct stat ptmx {};
  if (S_ISCHR(st.st_mode) && stat("/dev/ptmx", &ptmx) == 0 && st.st_rdev == ptmx.st_rdev) {
    return "the pseudo-terminal multiplexer, which makes a new terminal at each open (take the "
           "terminal's /dev/pts/N)";
  }
  return "a device that is not a serial port";
}

std::string DeviceHoldersText(const std::string& path) {
  std::string text;
  if (const int64_t locker = LockFileHolder(path)) {
    text = "its lock file names pid " + std::to_string(locker);
  }
  for (const PortHolder& h : PortHolders(path)) {
    if (!text.empty()) text += ", ";
    text += (h.name.empty() ? std::string("a program") : h.name) + " (pid " +
            std::to_string(h.pid) + (h.pid == getpid() ? ", this WireLab" : "") + ")";
  }
  return text;
}

std::string PermissionAdvice() {
  return "Serial devices belong to the dialout group: run \"sudo usermod -aG dialout $USER\" "
         "once and log in again.";
}

}  // namespace platform
