#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "ser2net_rig.h"
#include "test_support.h"

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";

// True while something listens on the loopback port (the kernel's own table says so).
bool Listening(uint16_t port) {
  char wanted[16];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
    std::ifstream in(table);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      fields >> slot >> local >> remote >> state;
      if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted) {
        return true;
      }
    }
  }
  return false;
}

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

bool Ser2netRig::Available() {
  return access(kSer2net, X_OK) == 0;
}

uint16_t FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    close(fd);
    throw std::runtime_error("no free loopback port");
  }
  close(fd);
  return ntohs(address.sin_port);
}

Ser2netRig::Ser2netRig(Kind kind, bool charDelay) : kind_(kind) {
  char dir[] = "/tmp/wirelab-ser2net-XXXXXX";
  if (mkdtemp(dir) == nullptr) throw std::runtime_error("no folder for ser2net");
  dir_ = dir;
  port_ = FreeLoopbackPort();
  const std::string accepter = kind_ == Kind::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp";
  std::ofstream(dir_ + "/ser2net.yaml")
      << "connection: &line\n"
      << "  accepter: " << accepter << ",127.0.0.1," << port_ << "\n"
      << "  connector: serialdev," << line_.SlavePath() << ",9600n81,local\n"
      << "  options:\n"
      << "    kickolduser: true\n"
      << (charDelay ? "" : "    chardelay: false\n");
  Start();
}

Ser2netRig::~Ser2netRig() {
  Stop();
  std::remove((dir_ + "/ser2net.yaml").c_str());
  std::remove((dir_ + "/ser2net.log").c_str());
  std::remove((dir_ + "/ser2net.pid").c_str());
  rmdir(dir_.c_str());
}

std::string Ser2netRig::Url() const {
  return (kind_ == Kind::Rfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") +
         std::to_string(port_);
}

std::vector<uint8_t> Ser2netRig::ReadLine(size_t count, std::chrono::milliseconds deadline) {
  std::vector<uint8_t> read;
  WaitUntil(
      [&] {
        const std::vector<uint8_t> more = line_.ReadAvailable(std::chrono::milliseconds(0));
        read.insert(read.end(), more.begin(), more.end());
        return read.size() >= count;
      },
      deadline);
  return read;
}

void Ser2netRig::Start() {
  if (pid_ > 0) return;
  const std::string config = dir_ + "/ser2net.yaml";
  const std::string log = dir_ + "/ser2net.log";
  const std::string pidFile = dir_ + "/ser2net.pid";
  pid_ = fork();
  if (pid_ == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(out, 1);
    dup2(out, 2);
    // -d: in the foreground, its log on stderr; -n: no daemon; -P: a pid file of the rig's own.
    execl(kSer2net, kSer2net, "-d", "-n", "-c", config.c_str(), "-P", pidFile.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  if (!WaitUntil([this] { return Listening(port_); }, std::chrono::seconds(10))) {
    throw std::runtime_error("ser2net did not listen on port " + std::to_string(port_));
  }
}

void Ser2netRig::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

SilentListener::SilentListener() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 0) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("no loopback listener");
  }
  port_ = ntohs(address.sin_port);
  // Connects that the queue takes complete at once; the first one left waiting shows it full.
  for (int i = 0; i < 16; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in to = Loopback(port_);
    connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 300) == 0) {
      close(fd);
      return;
    }
    fillers_.push_back(fd);
  }
  throw std::runtime_error("the listener's queue does not fill");
}

SilentListener::~SilentListener() {
  for (const int fd : fillers_) close(fd);
  close(listener_);
}
