#pragma once
// PortScenarios: scenario files run on the window's ports, and sessions recorded as scenarios,
// from each port's device menu. A run takes one port: the file's steps, whatever port number
// they name, act on the port whose menu started it. It goes on the clock's timers beside
// everything else the window does; its steps and verdict are lines in the port's pane, and the
// port group shows a mark while it runs and after it ended. A recording writes the register's
// side of the port's session with the "POS" tab's terminal (see ScenarioRecorder).
//
// While a run whose file has a `terminal` step is on a port, the run's terminal answers there
// and the "POS" tab's terminal leaves the port alone (PlaysTerminal). Main thread only.

#include <QLabel>
#include <QObject>
#include <QRect>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/output_stream.h"
#include "platform/time/clock.h"
#include "scenario/scenario_file.h"
#include "scenario/scenario_recorder.h"
#include "scenario/scenario_runner.h"
#include "window/message_boxes.h"

class QWidget;

class PortScenarios {
 public:
  // What the runs reach of the window. N is a port of the window, 1 to 4; lines are CP1254.
  struct WindowPorts {
    std::function<bool(int N)> open;  // the port has a port object
    // Sends on an open port; a failed transmission throws std::runtime_error.
    std::function<void(int N, const std::vector<uint8_t>& bytes)> send;
    std::function<void(int N)> purge;  // drops what the port received and holds
    std::function<void(int N)> close;  // not from inside the port's own delivery
    std::function<bool(int N, std::string& reason)> reopen;
    std::function<void(int N, const std::string& line)> addLine;
    std::function<std::string()> posNumber;  // "Pos No:"
    std::function<void(int N)> changed;      // a run or recording started or ended
  };

  // clock, boxes and dialogs (the file dialogs' parent) outlive this object.
  PortScenarios(platform::Clock& clock, platform::MessageBoxes& boxes, QWidget* dialogs);
  ~PortScenarios();
  PortScenarios(const PortScenarios&) = delete;
  PortScenarios& operator=(const PortScenarios&) = delete;

  // Before anything runs: the window's ports, and the groups the marks go on ([1..4]).
  void Wire(WindowPorts ports, const std::array<QWidget*, 5>& groups);

  // ---- Runs ----
  // The device menu's "Senaryo çalıştır...": stops a run, or asks for a file and runs it.
  void RunMenuChosen(int N);
  // Runs the file at path (UTF-8) on port N. A file that cannot be read or parsed, that acts
  // on more than one port, or a closed port shows the reason in a box and sends nothing.
  void Start(int N, const std::string& path);
  // Ends a run that is still going, as failed.
  void Stop(int N);
  bool Running(int N) const;
  // A run is going on port N whose file plays the terminal: the "POS" tab's one keeps out.
  bool PlaysTerminal(int N) const;
  // The last run's file and verdict, for the tooltip; empty before any.
  std::string RunState(int N) const;
  enum class Verdict { None, Running, Passed, Failed };
  Verdict LastVerdict(int N) const { return verdict_[N]; }
  // Asks for the scenario file to run on port N; empty when the user cancels. Tests replace it.
  std::function<std::optional<std::string>(int N)> AskScenarioPath;

  // ---- Recording the register's side ----
  // The device menu's "Senaryo olarak kaydet...": ends a recording, or asks where to start one.
  void RecordMenuChosen(int N);
  // Starts recording port N's session into path (made anew); a file that cannot be made
  // shows the reason in a box.
  void StartRecording(int N, const std::string& path);
  void EndRecording(int N);
  bool Recording(int N) const { return recordings_[N] != nullptr; }
  // The recording's file, or why the last one stopped, for the tooltip; empty when neither.
  std::string RecordingState(int N) const;
  // Asks where to record port N, suggesting a name; empty when the user cancels. Tests
  // replace it.
  std::function<std::optional<std::string>(int N)> AskRecordingPath;

  // ---- What the port does ----
  // A byte port N received.
  void ByteReceived(int N, uint8_t value);
  // Bytes the "POS" tab's terminal sent on port N.
  void TerminalSent(int N, const std::vector<uint8_t>& bytes);

  // ---- The mark on the port group ----
  // Shows port N's mark for its last run, with tip as its tooltip.
  void ShowMark(int N, const std::string& tip);
  // Places port N's mark in area, after the recording mark where that is shown.
  void PlaceMark(int N, const QRect& area, const QLabel* before);

  // Ends every run and recording; the window is going, and no port opens again.
  void EndAll();

 private:
  class Run;
  struct Record {
    std::string path;
    platform::OutputStream stream;
    std::unique_ptr<ScenarioRecorder> recorder;
    std::string failure;
  };

  void StepFinished(int N, const StepResult& result);
  void Finished(int N, bool passed);
  void Line(int N, const std::string& utf8);

  platform::Clock& clock_;
  platform::MessageBoxes& boxes_;
  QWidget* const dialogs_;
  WindowPorts ports_;
  std::array<QLabel*, 5> marks_{};                     // [1..4]
  std::array<std::unique_ptr<Run>, 5> runs_;           // [1..4]; kept until the turn after its end
  std::array<Verdict, 5> verdict_{};                   // [1..4]
  std::array<std::string, 5> runPath_;                 // [1..4]: the last run's file
  std::array<int, 5> failedLine_{};                    // [1..4]: where the last run failed
  std::array<bool, 5> stopped_{};                      // [1..4]: the last run was stopped
  std::array<std::unique_ptr<Record>, 5> recordings_;  // [1..4]; empty: not recording
  std::array<std::string, 5> recordingPath_;           // [1..4]: the last recording's file
  std::array<std::string, 5> recordingFailure_;        // [1..4]: why it stopped
  bool ending_ = false;
  QObject context_;  // the deferred calls' receiver: they go with this object
};
