#pragma once
// A real ser2net (Debian's, version 4) serving a pseudo-terminal on a free loopback port, as a
// lab machine serves an adapter: the test holds the far side of the line (Line()) and WireLab
// connects to Url(). ser2net runs in the foreground with a YAML configuration of the rig's own;
// stopping and starting it again keeps the port, as a server that restarts does.
//
// Also the network's failures on loopback: a port nobody listens on, and a listener that never
// answers (its backlog full, so a connect waits for nothing).

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "pty_pair.h"

class Ser2netRig {
 public:
  enum class Kind { Rfc2217, Raw };

  // Whether ser2net is installed; tests skip with kMissing when it is not.
  static bool Available();
  static constexpr const char* kMissing =
      "ser2net is not installed (tools/install-deps.sh --tests installs it)";

  // charDelay off: ser2net passes what the line gives at once, without waiting for more.
  explicit Ser2netRig(Kind kind = Kind::Rfc2217, bool charDelay = true);
  ~Ser2netRig();
  Ser2netRig(const Ser2netRig&) = delete;
  Ser2netRig& operator=(const Ser2netRig&) = delete;

  std::string Url() const;
  uint16_t Port() const { return port_; }
  PtyPair& Line() { return line_; }
  // What the server passed on to the line, count bytes or what came by the deadline, read
  // while the caller's events go on: a port's thread answers the server, and it waits on the
  // main thread now and then, as it does in the programs.
  std::vector<uint8_t> ReadLine(size_t count,
                                std::chrono::milliseconds deadline = std::chrono::seconds(20));
  // Ends the server (its connections drop) and waits until it is gone.
  void Stop();
  // Starts it again on the same port and waits until it listens.
  void Start();
  bool Running() const { return pid_ > 0; }

 private:
  Kind kind_;
  PtyPair line_;
  uint16_t port_ = 0;
  std::string dir_;
  pid_t pid_ = -1;
};

// A loopback port nobody listens on (just given back by the system).
uint16_t FreeLoopbackPort();

// A loopback listener whose queue is full, so that a further connect is never answered.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  uint16_t Port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;
  uint16_t port_ = 0;
};
