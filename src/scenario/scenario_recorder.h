#pragma once
// Writes, as a session with a register goes, the scenario that replays the register's side:
// every packet the register sends becomes `send` (`send-codes` when its check letter is wrong,
// so the replay sends the same bytes), every packet the terminal sends becomes `expect ...
// within MS`, MS a generous multiple of the time it took after the register's last packet; the
// terminal's own packet numbers (PROM, PROV) become `???`, and the register's acknowledgement
// of the terminal's last packet becomes `ack` (or `nack`). A change of port writes `port N`.
//
// Lines go out through a callback, UTF-8 with their line end. Main thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class ScenarioRecorder {
 public:
  // The least time an expect allows, and how many times the reply's own time it allows.
  static constexpr uint32_t kLeastWithinMs = 1000;
  static constexpr uint32_t kWithinFactor = 5;

  explicit ScenarioRecorder(std::function<void(const std::string&)> write);

  // The opening comment lines: the program that records and when (or where and when).
  void Begin(const std::string& program, const std::string& when);
  // A byte the register sent on port (1 to 4), at tick now.
  void RegisterByte(int port, uint8_t value, uint32_t now);
  // A frame the terminal sent on port (text, check letter, CR), at tick now.
  void TerminalFrame(int port, const std::vector<uint8_t>& frame, uint32_t now);

 private:
  struct Port {
    std::string assembling;
    uint32_t lastRegisterTick = 0;
    bool registerSpoke = false;
    std::string lastTerminalNumber;  // of the terminal's own last packet (PROM, PROV)
  };

  void Line(int port, const std::string& step);

  std::function<void(const std::string&)> write_;
  std::array<Port, 5> ports_{};
  int currentPort_ = 1;
};
