#pragma once
// The scenario files of wirelab-cli (--scenario, --junit): read and checked whole before any
// port is opened, then run one after the other on the ports of the command line, each from a
// fresh state. Each step's result and each file's verdict is an event; the JUnit report is
// written at the end. Main thread only.

#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_event_writer.h"
#include "cli/cli_options.h"
#include "cli/cli_ports.h"
#include "platform/time/clock.h"
#include "scenario/scenario_host.h"
#include "scenario/scenario_runner.h"

struct CliScenarioFile {
  std::string path;  // as given (UTF-8)
  Scenario scenario;
};

// One testcase per file: its verdict, the time it took, and for a failure the line and step.
struct CliScenarioVerdict {
  std::string path;
  // Refused: the file could not be read or parsed, and nothing ran.
  enum class Result { Passed, Failed, NotRun, Refused } result = Result::NotRun;
  double seconds = 0;
  std::string failure{};  // "line 9: expect 001002ACK?"
  std::string detail{};   // what was expected and what came
};

struct CliScenarioLoad {
  std::vector<CliScenarioFile> files;
  std::string error;  // empty when every file was read and parses: "FILE:LINE: reason"
  // Every file, the refused one with its reason, for the report of a run that never started.
  std::vector<CliScenarioVerdict> verdicts;
};

// Reads and parses every --scenario file and checks that the ports its steps act on are given
// with --port and not with --pos.
CliScenarioLoad LoadScenarios(const CliOptions& options);

// The JUnit XML report of a run: one testsuite, one testcase per file.
std::string JunitReport(const std::vector<CliScenarioVerdict>& verdicts);

class CliScenarioRun : private ScenarioHost {
 public:
  // onDone runs (from the event loop) once the last file has ended.
  CliScenarioRun(std::vector<CliScenarioFile> files, CliPorts& ports, CliEventWriter& events,
                 platform::Clock& clock, std::function<void()> onDone);
  ~CliScenarioRun() override;
  CliScenarioRun(const CliScenarioRun&) = delete;
  CliScenarioRun& operator=(const CliScenarioRun&) = delete;

  // Starts the first file on the event loop's next turn.
  void Start();
  // Ends the file in progress as failed ("interrupted") and runs no other.
  void Interrupt();
  // 0 when every step of every file passed, 1 otherwise.
  int ExitCode() const;
  const std::vector<CliScenarioVerdict>& Verdicts() const { return verdicts_; }

 private:
  void StartFile();

  bool PortOpen(int port) override;
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override;
  void PurgePort(int port) override { ports_.PurgePort(port); }
  void ClosePort(int port) override;
  bool ReopenPort(int port, std::string& reason) override;
  void AddLogLine(int port, const std::string& line) override;
  std::string PosNumberText() override { return ports_.Link().PosNumberText(); }
  void StepFinished(const StepResult& result) override;
  void ScenarioFinished(bool passed) override;

  std::vector<CliScenarioFile> files_;
  CliPorts& ports_;
  CliEventWriter& events_;
  platform::Clock& clock_;
  std::function<void()> onDone_;
  std::vector<CliScenarioVerdict> verdicts_;
  size_t current_ = 0;
  std::unique_ptr<ScenarioRunner> runner_;
  std::chrono::steady_clock::time_point fileStart_;
  bool closing_[5] = {};  // a close asked for and not yet done, [1..4]
  bool done_ = false;
  QObject context_;  // the deferred calls' receiver: they go with this object
};
