#pragma once
// A real kernel pseudo-terminal for tests: the test holds the far side of the line and WireLab
// opens SlavePath(). On Linux the far side is the master and the test keeps its own slave
// descriptor open, so that reads on the master do not fail while WireLab has the port closed.
// Under Wine the far side is a second pseudo-terminal that socat joins to the port's one.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
 public:
  // With a name, the port is also reachable at NamedPath(), as an adapter is by a name of its
  // own, which hanging the line up removes; a pair made later with the same name takes it.
  explicit PtyPair(const std::string& name = {});
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  const std::string& NamedPath() const { return namedPath_; }
  // This process's descriptors (Linux only: under Wine the line is socat's).
  int MasterFd() const { return master_; }
  // The test's own slave descriptor: FIONREAD on it tells what WireLab has not read yet.
  int SlaveFd() const { return slave_; }

  // Writes on the master side (what the peer sends to WireLab).
  void Write(const std::vector<uint8_t>& bytes);
  void Write(const std::string& bytes);
  // For a writer that keeps the line full: waits until the far side takes bytes again (under
  // Wine at once: there the write itself waits), then writes what it takes, about 100 ms at
  // most. Returns the count written.
  bool AwaitRoom(std::chrono::milliseconds wait);
  size_t WriteSome(const std::vector<uint8_t>& bytes);
  // Reads what WireLab sent until count bytes came or the deadline passed.
  std::vector<uint8_t> ReadExactly(
      size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000));
  // Reads whatever arrives within the quiet period after the last byte.
  std::vector<uint8_t> ReadAvailable(
      std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
  // Hangs the line up: the device "vanishes" for whoever holds SlavePath().
  void CloseMaster();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string namedPath_;
  intptr_t peer_ = -1;    // under Wine: the far terminal, opened as a serial device
  std::string portLink_;  // under Wine: socat's name for the port's terminal
};

// Whether the system refuses a second open of a device already open: Linux (through WireLab's
// own locks) and Windows do; Wine does not enforce Windows' exclusive share mode.
bool SecondOpenRefused();
