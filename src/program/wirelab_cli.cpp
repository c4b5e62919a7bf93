// wirelab-cli: WireLab without a window, for test rigs. It opens the ports of the command
// line, answers a cash register as the POS terminal, sends byte codes and packets, and
// reports every event as a line on stdout (and in a log file), until SIGINT, SIGTERM or the
// end of --duration. With --scenario it runs the scenario files instead, one after the other,
// and ends after the last.
//
// Exit codes: 0 after --help or --version and after a clean end (SIGINT, SIGTERM, SIGHUP, the end
// of --duration, or a reader of stdout that has gone), 1 when a port cannot be opened or the output
// cannot be written, 2 for a usage error. With --scenario: 0 when every step of every file
// passed, 1 when one failed or the run was ended before its end, 2 when a file cannot be read or
// parsed (then nothing is opened or sent).
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_event_writer.h"
#include "cli/cli_events.h"
#include "cli/cli_options.h"
#include "cli/cli_ports.h"
#include "cli/cli_recording.h"
#include "cli/cli_scenario.h"
#include "platform/devices/com_devices.h"
#include "platform/devices/port_drains.h"
#include "platform/devices/serial_ports.h"
#include "platform/files/file_io.h"
#include "platform/files/output_stream.h"
#include "platform/settings/app_files.h"
#include "platform/settings/profile.h"
#include "platform/text/program_arguments.h"
#include "platform/thread/quit_request.h"
#include "platform/time/qt_clock.h"
#include "program/program_version.h"

int main(int argc, char** argv) {
  const CliParse parse = ParseCliOptions(platform::ProgramArguments(argc, argv));
  if (!parse.options) {
    std::fprintf(stderr, "wirelab-cli: %s\n%s\n", EscapeControls(parse.error).c_str(), CliUsage());
    return 2;
  }
  const CliOptions& options = *parse.options;
  if (options.help) return std::puts(CliUsage()) < 0 || std::fflush(stdout) != 0 ? 1 : 0;
  if (options.version) {
    std::printf("wirelab-cli %s\n", ProgramVersion());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (options.listPorts) {
    platform::ComDevices mapped;
    mapped.Load(platform::Profile::Load(platform::LocateAppFiles().settings));
    platform::PrintPortTable(mapped.NetworkPorts());
    return 0;
  }

  // The scenario files, read and checked whole before anything is opened.
  const CliScenarioLoad scenarios = LoadScenarios(options);
  const auto writeJunit = [&options](const std::vector<CliScenarioVerdict>& verdicts) {
    if (options.junitPath.empty()) return true;
    std::string step, reason;
    if (platform::ReplaceFileContent(platform::ResolveLinks(options.junitPath),
                                     JunitReport(verdicts), step, reason,
                                     platform::Language::English)) {
      return true;
    }
    std::fprintf(stderr, "wirelab-cli: --junit: %s: %s: %s\n",
                 EscapeControls(options.junitPath).c_str(), step.c_str(), reason.c_str());
    return false;
  };
  if (!scenarios.error.empty()) {
    std::fprintf(stderr, "wirelab-cli: --scenario: %s\n", scenarios.error.c_str());
    writeJunit(scenarios.verdicts);
    return 2;
  }

  const std::string stdoutFault = platform::ReserveStandardStreams();
  if (!stdoutFault.empty()) {
    std::fprintf(stderr, "wirelab-cli: stdout: %s\n", stdoutFault.c_str());
    return 1;
  }

  QCoreApplication app(argc, argv);
  // A failed output ends the event loop from the main thread, whichever thread saw it.
  CliEventWriter events(options.json, [&app] {
    QMetaObject::invokeMethod(
        &app,
        [] {
          platform::RequestQuit();
          QCoreApplication::quit();
        },
        Qt::QueuedConnection);
  });
  std::string logFault;
  if (!options.logPath.empty() && !events.OpenLog(options.logPath, logFault)) {
    std::fprintf(stderr, "wirelab-cli: --log: cannot write %s: %s\n",
                 EscapeControls(options.logPath).c_str(), logFault.c_str());
    return 2;
  }

  platform::SetProgramName("wirelab-cli");
  CliRecording recording;
  std::string recordFault;
  if (!options.recordPath.empty() && !recording.Open(options.recordPath, recordFault)) {
    std::fprintf(stderr, "wirelab-cli: --record-scenario: cannot write %s: %s\n",
                 EscapeControls(options.recordPath).c_str(), recordFault.c_str());
    return 2;
  }

  platform::InstallQuitSignals([] { QCoreApplication::quit(); });
  platform::ComDevices devices;
  const std::string ini = platform::LocateAppFiles().settings;
  std::string unreadable;
  devices.Load(platform::Profile::Load(ini, &unreadable));
  if (!unreadable.empty()) {
    std::fprintf(stderr, "wirelab-cli: %s not read (%s); the defaults hold\n", ini.c_str(),
                 unreadable.c_str());
  }

  platform::QtClock clock;
  platform::PortDrains drains;
  CliPorts ports(options, events, clock, devices, drains);
  if (const int failed = ports.Open()) {
    std::fprintf(stderr, "wirelab-cli: port %d: %s\n", failed,
                 EscapeControls(ports.OpenFailure()).c_str());
    return 1;
  }
  if (!options.recordPath.empty()) recording.Attach(ports, clock, options);
  ports.StartSending();
  std::unique_ptr<CliScenarioRun> run;
  if (!options.scenarios.empty()) {
    run = std::make_unique<CliScenarioRun>(scenarios.files, ports, events, clock,
                                           [] { QCoreApplication::quit(); });
    run->Start();
  }
  if (options.durationMs > 0) {
    QTimer::singleShot(options.durationMs, [] { QCoreApplication::quit(); });
  }
  // A log that stalls is found on a quiet line too, not only when the next line comes.
  QTimer logWatch;
  QObject::connect(&logWatch, &QTimer::timeout, [&events] { events.CheckLog(); });
  logWatch.start(1000);
  int code = platform::QuitRequested() ? 0 : app.exec();
  if (run) {
    run->Interrupt();
    code = run->ExitCode();
    if (!writeJunit(run->Verdicts())) code = 1;
    run.reset();
  }
  ports.Close();
  // What was still queued for a port leaves before the end, a signal or not: the bound of a
  // quick end after a signal is lifted for it.
  platform::RemoveQuitSignals();
  drains.WaitForAll();
  if (!options.recordPath.empty() && !recording.Finish(recordFault)) {
    std::fprintf(stderr, "wirelab-cli: --record-scenario: cannot write %s: %s\n",
                 EscapeControls(options.recordPath).c_str(), recordFault.c_str());
    code = 1;
  }
  events.Finish();
  const CliEventWriter::Failure failure = events.FirstFailure();
  if (!failure.failed) return code;
  if (!failure.message.empty()) std::fprintf(stderr, "%s\n", failure.message.c_str());
  return failure.exitCode;
}
