#pragma once
// A real kernel pseudo-terminal for tests: the test holds the master side and WireLab opens
// the slave path. The test keeps its own slave descriptor open so that reads on the master do
// not fail while WireLab has the port closed.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_; }
  // The test's own slave descriptor: FIONREAD on it tells what WireLab has not read yet.
  int SlaveFd() const { return slave_; }

  // Writes on the master side (what the peer sends to WireLab).
  void Write(const std::vector<uint8_t>& bytes);
  void Write(const std::string& bytes);
  // Reads what WireLab sent until count bytes came or the deadline passed.
  std::vector<uint8_t> ReadExactly(
      size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(20000));
  // Reads whatever arrives within the quiet period after the last byte.
  std::vector<uint8_t> ReadAvailable(
      std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
  // Closes the master (the device "vanishes" for the slave's holder).
  void CloseMaster();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};
