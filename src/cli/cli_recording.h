#pragma once
// --record-scenario: the scenario of the register's side of the --pos ports' session, written to
// its file as the session goes by a thread of its own (the ports never wait for the disk).
// Main thread only.

#include <memory>
#include <mutex>
#include <string>

#include "cli/background_writer.h"
#include "cli/cli_options.h"
#include "cli/cli_ports.h"
#include "platform/time/clock.h"
#include "scenario/scenario_recorder.h"

class CliRecording {
 public:
  // Starts the file afresh; false, with the reason, when it cannot be written.
  bool Open(const std::string& path, std::string& reason);
  // Listens to the --pos ports of ports; ports and clock outlive this object.
  void Attach(CliPorts& ports, platform::Clock& clock, const CliOptions& options);
  // Writes what waits; false, with the reason, when the file could not take it all.
  bool Finish(std::string& reason);

 private:
  std::string path_;
  std::unique_ptr<BackgroundWriter> writer_;
  std::unique_ptr<ScenarioRecorder> recorder_;
  struct Failure {
    std::mutex mutex;
    std::string reason;
  };
  std::shared_ptr<Failure> failure_ = std::make_shared<Failure>();
};
