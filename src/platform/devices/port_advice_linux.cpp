#include <sys/stat.h>
#include <unistd.h>

#include "platform/devices/port_advice.h"
#include "platform/devices/port_holders.h"
#include "platform/devices/serial_posix_detail.h"

namespace platform {

std::string DeviceKindText(const std::string& path, Language language) {
  const bool tr = language == Language::Turkish;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return tr ? "seri cihaz değil" : "not a serial device";
  if (S_ISREG(st.st_mode)) return tr ? "normal bir dosya" : "a regular file";
  if (S_ISDIR(st.st_mode)) return tr ? "bir klasör" : "a directory";
  if (S_ISFIFO(st.st_mode)) return tr ? "bir FIFO" : "a FIFO";
  if (S_ISSOCK(st.st_mode)) return tr ? "bir soket" : "a socket";
  if (detail::IsPtyMultiplexer(st)) {
    return tr ? "sözde terminal çoklayıcısı, her açılışta yeni bir terminal açar (terminalin "
                "/dev/pts/N yolunu girin)"
              : "the pseudo-terminal multiplexer, which makes a new terminal at each open (take "
                "the terminal's /dev/pts/N)";
  }
  return tr ? "seri port olmayan bir cihaz" : "a device that is not a serial port";
}

std::string DeviceHoldersText(const std::string& path, Language language) {
  const bool tr = language == Language::Turkish;
  std::string text;
  if (const int64_t locker = LockFileHolder(path)) {
    text = (tr ? "kilit dosyasında pid " : "its lock file names pid ") + std::to_string(locker) +
           (tr ? " yazıyor" : "");
  }
  for (const PortHolder& h : PortHolders(path)) {
    if (!text.empty()) text += ", ";
    text += (h.name.empty() ? std::string(tr ? "bir program" : "a program") : h.name) + " (pid " +
            std::to_string(h.pid) +
            (h.pid == getpid() ? (tr ? ", bu WireLab" : ", this WireLab") : "") + ")";
  }
  return text;
}

std::string StaleHoldText(const std::string& path, Language language) {
  const std::string holders = DeviceHoldersText(path, language);
  const std::string owner = std::to_string(StaleLockFileHolder(path));
  // Root takes such a port over, and gives it back with the flag cleared.
  const std::string clear = "sudo wirelab-cli --port 1=" + path + " --duration 0.1";
  if (language == Language::Turkish) {
    return "meşgul: " + path + ", kapanırken portu geri vermeyen bir programın (pid " + owner +
           ", kilit dosyasında) özel bayrağını taşıyor" +
           (holders.empty() ? "" : "; terminali açık tutan: " + holders) +
           ". Bayrağı bir kez root olarak temizleyin: " + clear;
  }
  return "busy: " + path +
         " still carries the exclusive flag of a program that ended without giving the port "
         "back (pid " +
         owner + ", named in its lock file)" +
         (holders.empty() ? "" : "; the terminal is kept open by " + holders) +
         ". Clear the flag once as root: " + clear;
}

std::string PermissionAdvice(Language language) {
  return language == Language::Turkish
             ? "Seri cihazlar dialout grubundadır: \"sudo usermod -aG dialout $USER\" komutunu "
               "bir kez çalıştırıp oturumu yeniden açın."
             : "Serial devices belong to the dialout group: run \"sudo usermod -aG dialout $USER\" "
               "once and log in again.";
}

}  // namespace platform
