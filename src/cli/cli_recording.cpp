#include "cli/cli_recording.h"

#include <array>
#include <chrono>

#include "cli/cli_events.h"
#include "platform/files/file_io.h"
#include "platform/files/output_stream.h"

namespace {
constexpr size_t kMostWaiting = 16 << 20;
}  // namespace

bool CliRecording::Open(const std::string& path, std::string& reason) {
  path_ = platform::ResolveLinks(path);
  std::string step;
  if (!platform::ReplaceFileContent(path_, {}, step, reason, platform::Language::English)) {
    reason = step + ": " + reason;
    return false;
  }
  auto stream = std::make_unique<platform::OutputStream>();
  if (!stream->OpenAppending(path_)) {
    reason = stream->Reason();
    return false;
  }
  writer_ = std::make_unique<BackgroundWriter>(
      std::move(stream),
      [failure = failure_](platform::OutputStream::Result, const std::string& why) {
        std::lock_guard lock(failure->mutex);
        failure->reason = why;
      });
  recorder_ = std::make_unique<ScenarioRecorder>([this](const std::string& line) {
    if (!writer_->Push(line, kMostWaiting)) {
      std::lock_guard lock(failure_->mutex);
      if (failure_->reason.empty()) failure_->reason = "the disk does not keep up";
    }
  });
  recorder_->Begin("wirelab-cli", "on " + WallClockNow());
  return true;
}

void CliRecording::Attach(CliPorts& ports, platform::Clock& clock, const CliOptions& options) {
  const std::array<bool, 5> pos = options.pos;
  ports.ByteTap = [this, &clock, pos](int port, uint8_t value) {
    if (pos[port]) recorder_->RegisterByte(port, value, clock.Now());
  };
  ports.SentTap = [this, &clock, pos](int port, const std::vector<uint8_t>& bytes) {
    if (pos[port]) recorder_->TerminalFrame(port, bytes, clock.Now());
  };
}

bool CliRecording::Finish(std::string& reason) {
  if (writer_) {
    while (!writer_->Flush(std::chrono::milliseconds(100))) {
      if (writer_->Stalled() > std::chrono::seconds(10)) {
        std::lock_guard lock(failure_->mutex);
        if (failure_->reason.empty()) failure_->reason = "nothing could be written for 10 s";
        break;
      }
    }
  }
  std::lock_guard lock(failure_->mutex);
  reason = failure_->reason;
  return reason.empty();
}
