#include "cli/cli_event_writer.h"

#include <utility>

using Result = platform::OutputStream::Result;

namespace {

std::string DroppedNote(size_t lines, const std::string& time, bool json) {
  const std::string count = std::to_string(lines);
  if (json) return "{\"time\":\"" + time + "\",\"kind\":\"dropped\",\"lines\":" + count + "}\n";
  return time + " dropped " + count + " lines not shown: stdout was not read in time\n";
}

}  // namespace

CliEventWriter::CliEventWriter(bool json, std::function<void()> onFailure)
    : json_(json), onFailure_(std::move(onFailure)) {
  auto stream = std::make_unique<platform::OutputStream>();
  stream->UseStandardOutput();
  stdout_ = std::make_unique<BackgroundWriter>(
      std::move(stream),
      [this](Result result, const std::string& reason) {
        if (result == Result::Broken) {
          Fail(0, {});
        } else {
          Fail(1, "wirelab-cli: stdout: " + reason);
        }
      },
      // Stamped with the last line dropped: the clock's time zone is read on the main thread
      // only.
      [json](size_t lines, const std::string& time) { return DroppedNote(lines, time, json); });
}

CliEventWriter::~CliEventWriter() {
  // The writers first: after them no thread calls back.
  stdout_.reset();
  log_.reset();
}

bool CliEventWriter::OpenLog(const std::string& path, std::string& reason) {
  auto stream = std::make_unique<platform::OutputStream>();
  if (!stream->OpenAppending(path)) {
    reason = stream->Reason();
    return false;
  }
  logPath_ = EscapeControls(path);
  log_ =
      std::make_unique<BackgroundWriter>(std::move(stream), [this](Result, const std::string& why) {
        Fail(1, "wirelab-cli: --log: cannot write " + logPath_ + ": " + why);
      });
  return true;
}

void CliEventWriter::Write(const CliEvent& event) {
  const std::string time = WallClockNow();
  const std::string line = FormatEvent(event, time, json_) + "\n";
  stdout_->Push(line, kStdoutMaxWaiting, time);
  if (log_ && !log_->Push(line, kLogMaxWaiting)) FailStalledLog();
  CheckLog();
}

void CliEventWriter::CheckLog() {
  if (log_ && log_->Stalled() > kLogMaxStall) FailStalledLog();
}

void CliEventWriter::FailStalledLog() {
  Fail(1, "wirelab-cli: --log: " + logPath_ + " does not keep up: nothing could be written for " +
              std::to_string(kLogMaxStall.count() / 1000) + " s");
}

void CliEventWriter::Finish() {
  using std::chrono::milliseconds;
  if (log_) {
    while (!log_->Flush(milliseconds(100))) {
      if (log_->Stalled() > kLogMaxStall) {
        Fail(1, "wirelab-cli: --log: " + logPath_ +
                    " does not keep up: its last lines could "
                    "not be written in " +
                    std::to_string(kLogMaxStall.count() / 1000) + " s");
        break;
      }
    }
  }
  while (!stdout_->Flush(milliseconds(100)) && stdout_->Stalled() < kStdoutEndStall) {
  }
}

CliEventWriter::Failure CliEventWriter::FirstFailure() const {
  std::lock_guard lock(mutex_);
  return failure_;
}

void CliEventWriter::Fail(int exitCode, std::string message) {
  {
    std::lock_guard lock(mutex_);
    if (failure_.failed) return;
    failure_ = {true, exitCode, std::move(message)};
  }
  if (onFailure_) onFailure_();
}
