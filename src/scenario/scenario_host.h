#pragma once
// What a scenario run needs from the program that runs it: the ports of the run, the lines the
// terminal logs, "Pos No:", and where step results go. Main thread only. The host never
// destroys a runner from inside one of these calls: ScenarioFinished comes from deep inside the
// runner, which ends its work afterwards.

#include <cstdint>
#include <string>
#include <vector>

#include "scenario/scenario_file.h"

struct StepResult {
  const ScenarioStep* step = nullptr;
  bool passed = false;
  uint32_t ms = 0;       // the time the step took
  std::string reason;    // a failure: in plain words
  std::string expected;  // a failure: what the step wanted (CP1254 bytes), empty if nothing
  std::string got;       // a failure: what came (CP1254 bytes), empty if nothing
};

class ScenarioHost {
 public:
  virtual ~ScenarioHost() = default;
  // True while the port is open.
  virtual bool PortOpen(int port) = 0;
  // Sends on an open port; a failed transmission throws std::runtime_error.
  virtual void SendBytes(int port, const std::vector<uint8_t>& bytes) = 0;
  // Drops what the port has received and not yet delivered; what was sent still goes out, so a
  // file's last packet is never lost to the next file's start.
  virtual void PurgePort(int port) = 0;
  // Closes the port; opens it again, false with the reason when it cannot be had.
  virtual void ClosePort(int port) = 0;
  virtual bool ReopenPort(int port, std::string& reason) = 0;
  // A line of the terminal's log (the pane's lines), CP1254.
  virtual void AddLogLine(int port, const std::string& line) = 0;
  virtual std::string PosNumberText() = 0;
  virtual void StepFinished(const StepResult& result) = 0;
  // Once, after the last step passed or the first failed.
  virtual void ScenarioFinished(bool passed) = 0;
};
