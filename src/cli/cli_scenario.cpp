#include "cli/cli_scenario.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "cli/cli_events.h"
#include "platform/files/file_io.h"
#include "platform/text/cp1254.h"

namespace {

constexpr size_t kMostScenarioBytes = 1 << 20;

std::string XmlEscaped(const std::string& utf8) {
  std::string out;
  for (const char ch : EscapeControls(utf8)) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

CliScenarioLoad LoadScenarios(const CliOptions& options) {
  CliScenarioLoad load;
  for (const std::string& path : options.scenarios) {
    CliScenarioVerdict verdict{path};
    const platform::SmallFile file =
        platform::ReadSmallFile(path, kMostScenarioBytes, platform::Language::English);
    std::string error;
    ScenarioParse parse;
    if (file.status == platform::SmallFile::Status::Missing) {
      error = "no such file";
    } else if (file.status == platform::SmallFile::Status::Failed) {
      error = file.reason;
    } else {
      parse = ParseScenario(file.content);
      if (!parse.scenario) {
        error = parse.line > 0 ? "line " + std::to_string(parse.line) + ": " + parse.reason
                               : parse.reason;
      }
    }
    for (int n = 1; error.empty() && n <= 4; ++n) {
      if (!parse.scenario->usesPort[n]) continue;
      if (!options.ports[n].given) {
        error = "port " + std::to_string(n) + " has no --port";
      } else if (options.pos[n]) {
        error = "port " + std::to_string(n) + " is given to --pos";
      }
    }
    if (!error.empty()) {
      verdict.result = CliScenarioVerdict::Result::Refused;
      verdict.failure = error;
      if (load.error.empty()) load.error = EscapeControls(path) + ": " + error;
    } else {
      load.files.push_back({path, std::move(*parse.scenario)});
    }
    load.verdicts.push_back(std::move(verdict));
  }
  return load;
}

std::string JunitReport(const std::vector<CliScenarioVerdict>& verdicts) {
  using Result = CliScenarioVerdict::Result;
  int failures = 0, errors = 0, skipped = 0;
  double total = 0;
  std::string cases;
  for (const CliScenarioVerdict& verdict : verdicts) {
    total += verdict.seconds;
    cases += "    <testcase classname=\"scenario\" name=\"" + XmlEscaped(verdict.path) +
             "\" time=\"" + Seconds(verdict.seconds) + "\"";
    switch (verdict.result) {
      case Result::Passed:
        cases += "/>\n";
        continue;
      case Result::Failed:
        ++failures;
        cases += ">\n      <failure message=\"" + XmlEscaped(verdict.failure) +
                 "\" type=\"step\">" + XmlEscaped(verdict.detail) + "</failure>\n";
        break;
      case Result::Refused:
        ++errors;
        cases +=
            ">\n      <error message=\"" + XmlEscaped(verdict.failure) + "\" type=\"file\"/>\n";
        break;
      case Result::NotRun:
        ++skipped;
        cases += ">\n      <skipped/>\n";
        break;
    }
    cases += "    </testcase>\n";
  }
  const std::string counts = "tests=\"" + std::to_string(verdicts.size()) + "\" failures=\"" +
                             std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                             "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
                             Seconds(total) + "\"";
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites " + counts +
         ">\n  <testsuite name=\"wirelab-cli scenarios\" " + counts + ">\n" + cases +
         "  </testsuite>\n</testsuites>\n";
}

CliScenarioRun::CliScenarioRun(std::vector<CliScenarioFile> files, CliPorts& ports,
                               CliEventWriter& events, platform::Clock& clock,
                               std::function<void()> onDone)
    : files_(std::move(files)),
      ports_(ports),
      events_(events),
      clock_(clock),
      onDone_(std::move(onDone)) {
  for (const CliScenarioFile& file : files_) verdicts_.push_back({file.path});
  ports_.ByteTap = [this](int port, uint8_t value) {
    if (runner_ && !closing_[port]) runner_->ByteReceived(port, value);
  };
}

CliScenarioRun::~CliScenarioRun() {
  ports_.ByteTap = nullptr;
  runner_.reset();
}

void CliScenarioRun::Start() {
  QTimer::singleShot(0, &context_, [this] { StartFile(); });
}

void CliScenarioRun::Interrupt() {
  if (done_) return;
  if (runner_ && !runner_->Finished()) runner_->Abort("interrupted");
  done_ = true;
}

int CliScenarioRun::ExitCode() const {
  for (const CliScenarioVerdict& verdict : verdicts_) {
    if (verdict.result != CliScenarioVerdict::Result::Passed) return 1;
  }
  return 0;
}

void CliScenarioRun::StartFile() {
  runner_.reset();
  if (done_ || current_ >= files_.size()) {
    done_ = true;
    if (onDone_) onDone_();
    return;
  }
  const CliScenarioFile& file = files_[current_];
  events_.Write({CliEvent::Kind::Scenario, 0, {}, file.path + " started"});
  fileStart_ = std::chrono::steady_clock::now();
  runner_ =
      std::make_unique<ScenarioRunner>(file.scenario, static_cast<ScenarioHost&>(*this), clock_);
  runner_->Start();
}

bool CliScenarioRun::PortOpen(int port) {
  return !closing_[port] && ports_.Link().PortPresent(port);
}

void CliScenarioRun::SendBytes(int port, const std::vector<uint8_t>& bytes) {
  ports_.Link().SendBytes(port, bytes);
}

// The close may be asked for from inside the port's own delivery: it is done once that has
// returned.
void CliScenarioRun::ClosePort(int port) {
  if (closing_[port]) return;
  closing_[port] = true;
  QTimer::singleShot(0, &context_, [this, port] {
    closing_[port] = false;
    ports_.ClosePort(port);
  });
}

bool CliScenarioRun::ReopenPort(int port, std::string& reason) {
  if (closing_[port]) {
    closing_[port] = false;
    ports_.ClosePort(port);
  }
  return ports_.ReopenPort(port, reason);
}

void CliScenarioRun::AddLogLine(int port, const std::string& line) {
  ports_.Link().AddLogLine(port, line);
}

void CliScenarioRun::StepFinished(const StepResult& result) {
  ports_.FlushReceived();
  const ScenarioStep& step = *result.step;
  CliEvent event{CliEvent::Kind::Step, step.port, {}, {}};
  event.step = {step.line,     step.source,     result.passed, result.ms,
                result.reason, result.expected, result.got};
  events_.Write(event);
  if (!result.passed) {
    CliScenarioVerdict& verdict = verdicts_[current_];
    verdict.failure = "line " + std::to_string(step.line) + ": " + step.source;
    verdict.detail = result.reason;
    if (!result.expected.empty()) verdict.detail += ": expected " + QuotedBytes(result.expected);
    if (!result.got.empty()) verdict.detail += " got " + QuotedBytes(result.got);
  }
}

void CliScenarioRun::ScenarioFinished(bool passed) {
  CliScenarioVerdict& verdict = verdicts_[current_];
  verdict.result = passed ? CliScenarioVerdict::Result::Passed : CliScenarioVerdict::Result::Failed;
  verdict.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - fileStart_).count();
  events_.Write(
      {CliEvent::Kind::Scenario, 0, {}, files_[current_].path + (passed ? " passed" : " failed")});
  ++current_;
  // The runner is deep in its own call: it goes, and the next file starts, on the next turn.
  if (!done_) QTimer::singleShot(0, &context_, [this] { StartFile(); });
}
