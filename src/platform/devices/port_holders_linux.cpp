#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "platform/devices/port_holders.h"

namespace platform {
namespace {

// The device's name in lock-file terms: the path below /dev with "/" made "_" (ttyUSB0,
// pts_7), or the last part of any other path.
std::string LockName(const std::string& devicePath) {
  char* resolved = realpath(devicePath.c_str(), nullptr);
  std::string path = resolved ? resolved : devicePath;
  std::free(resolved);
  if (path.rfind("/dev/", 0) == 0) {
    path.erase(0, 5);
  } else if (const size_t slash = path.rfind('/'); slash != std::string::npos) {
    path.erase(0, slash + 1);
  }
  for (char& c : path) {
    if (c == '/') c = '_';
  }
  return path;
}

bool ProcessAlive(pid_t pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM);
}

bool SameDevice(const struct stat& a, const struct stat& b) {
  if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) return a.st_rdev == b.st_rdev;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string LockFilePath(const std::string& devicePath) {
  return "/var/lock/LCK.." + LockName(devicePath);
}

// The process id the lock file names, alive or not; 0 when there is none.
pid_t LockFilePidAt(const std::string& lockPath) {
  std::ifstream file(lockPath, std::ios::binary);
  if (!file) return 0;
  std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  pid_t pid = 0;
  // The usual form is the process id in ASCII, padded to ten characters; some old programs
  // wrote it as a binary int of four bytes.
  if (content.size() == sizeof(int) && (content[0] < '0' || content[0] > '9')) {
    int binary = 0;
    content.copy(reinterpret_cast<char*>(&binary), sizeof binary);
    pid = binary;
  } else {
    pid = static_cast<pid_t>(std::strtol(content.c_str(), nullptr, 10));
  }
  return pid;
}

pid_t LockFilePid(const std::string& devicePath) {
  return LockFilePidAt(LockFilePath(devicePath));
}

}  // namespace

int64_t LockFileHolder(const std::string& devicePath) {
  const pid_t pid = LockFilePid(devicePath);
  return ProcessAlive(pid) ? pid : 0;
}

int64_t StaleLockFileHolder(const std::string& devicePath) {
  const pid_t pid = LockFilePid(devicePath);
  return pid > 0 && !ProcessAlive(pid) ? pid : 0;
}

std::string TakeLockFile(const std::string& devicePath) {
  const std::string lock = LockFilePath(devicePath);
  const std::string mine = lock + "." + std::to_string(getpid());
  const int fd = open(mine.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {};
  char line[16];
  const int n = std::snprintf(line, sizeof line, "%10d\n", static_cast<int>(getpid()));
  const bool written = write(fd, line, static_cast<size_t>(n)) == n;
  close(fd);
  // link() makes the name only where none is: of two programs, one gets the port's lock.
  if (written && link(mine.c_str(), lock.c_str()) != 0 && errno == EEXIST &&
      StaleLockFileHolder(devicePath) != 0 && unlink(lock.c_str()) == 0) {
    link(mine.c_str(), lock.c_str());
  }
  unlink(mine.c_str());
  return LockFilePidAt(lock) == getpid() ? lock : std::string();
}

void ReleaseLockFile(const std::string& lockPath) {
  if (!lockPath.empty() && LockFilePidAt(lockPath) == getpid()) unlink(lockPath.c_str());
}

std::vector<PortHolder> PortHolders(const std::string& devicePath) {
  std::vector<PortHolder> holders;
  struct stat device {};
  if (stat(devicePath.c_str(), &device) != 0) return holders;
  DIR* proc = opendir("/proc");
  if (!proc) return holders;
  std::set<pid_t> seen;
  while (dirent* entry = readdir(proc)) {
    const pid_t pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
    if (pid <= 0 || seen.count(pid)) continue;
    const std::string fdDir = std::string("/proc/") + entry->d_name + "/fd";
    DIR* fds = opendir(fdDir.c_str());
    if (!fds) continue;  // another user's process: not ours to look into
    while (dirent* fd = readdir(fds)) {
      if (fd->d_name[0] == '.') continue;
      struct stat open {};
      if (stat((fdDir + "/" + fd->d_name).c_str(), &open) == 0 && SameDevice(open, device)) {
        PortHolder holder{static_cast<int64_t>(pid), {}};
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::getline(comm, holder.name);
        holders.push_back(holder);
        seen.insert(pid);
        break;
      }
    }
    closedir(fds);
  }
  closedir(proc);
  return holders;
}

}  // namespace platform
