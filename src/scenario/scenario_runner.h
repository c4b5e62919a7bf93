#pragma once
// Runs one scenario's steps in order on the host's ports, from a fresh state: what its ports had
// received dropped, no terminal, nothing received. A step either finishes at once (port, send,
// send-codes, ack, nack, terminal, fault) or waits for packets, a sale or its time (expect, wait,
// expect-sale). The run stops at the first step that fails.
//
// Packets are the bytes up to a carriage return. Every packet that arrives on a port joins that
// port's queue, which `expect` takes from in order; on a port with a terminal the terminal
// answers it too. Steps advance only from the entry points (Start, ByteReceived and the
// clock's countdowns), never from inside the terminal. Main thread only.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/time/clock.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_host.h"
#include "scenario/scenario_terminal.h"

class ScenarioRunner {
 public:
  // A packet longer than this is taken as one at the bound.
  static constexpr size_t kPacketLimit = 4096;

  ScenarioRunner(const Scenario& scenario, ScenarioHost& host, platform::Clock& clock);
  ~ScenarioRunner();
  ScenarioRunner(const ScenarioRunner&) = delete;
  ScenarioRunner& operator=(const ScenarioRunner&) = delete;

  void Start();
  void ByteReceived(int port, uint8_t value);
  // Ends a run that is still going: the step in progress fails with reason.
  void Abort(const std::string& reason);

  bool Finished() const { return finished_; }
  bool Passed() const { return passed_; }
  // The step in progress, or the one that failed; nullptr before the start and after a pass.
  const ScenarioStep* CurrentStep() const;

 private:
  struct PortState {
    std::string assembling;
    std::deque<std::string> packets;  // arrived and not yet taken, without the carriage return
    std::string lastArrived;
    std::string lastTaken;  // the packet the last expect took
    std::unique_ptr<ScenarioTerminal> terminal;
  };

  // Runs steps until one waits or the run ends.
  void Advance();
  // Starts the current step: true when it finished at once.
  bool Begin(const ScenarioStep& step);
  // Settles a waiting step if what it waits for is there; true when it finished.
  bool Settle(const ScenarioStep& step);
  void Timeout();
  void Pass();
  void Fail(std::string reason, std::string expected = {}, std::string got = {});
  void Send(const ScenarioStep& step, const std::vector<uint8_t>& bytes);
  bool CheckTrouble();

  const Scenario& scenario_;
  ScenarioHost& host_;
  platform::Clock& clock_;
  std::array<PortState, 5> ports_{};  // [1..4]
  size_t current_ = 0;
  bool waiting_ = false;
  bool started_ = false;
  bool finished_ = false;
  bool passed_ = false;
  bool advancing_ = false;
  uint32_t stepStart_ = 0;
  std::unique_ptr<platform::Countdown> deadline_;
};

// Whether a packet (text and check letter) is the text of pattern ("?" any one byte) with its
// right check letter.
bool PacketMatches(const std::string& pattern, const std::string& packet);
