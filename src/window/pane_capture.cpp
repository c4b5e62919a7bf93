#include "window/pane_capture.h"

#include <cstdio>

namespace {

// Collected text goes to the file's thread at least at this size, between hand-overs.
constexpr size_t kHandOverBytes = 256 * 1024;
constexpr auto kSyncEvery = std::chrono::seconds(1);
constexpr int kMaxNumbered = 9999;

// path with "-n" before the extension of its file name (or at its end, without one).
std::string Numbered(const std::string& path, int n) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  const bool hasExtension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const size_t at = hasExtension ? dot : path.size();
  return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

}  // namespace

std::unique_ptr<PaneCapture> PaneCapture::Start(const std::string& path, std::string& reason) {
  for (int n = 1; n <= kMaxNumbered; ++n) {
    const std::string candidate = n == 1 ? path : Numbered(path, n);
    auto file = std::make_unique<platform::WritableFile>(platform::Language::Turkish);
    bool existed = false;
    if (file->CreateNew(candidate, existed)) {
      return std::unique_ptr<PaneCapture>(new PaneCapture(candidate, std::move(file)));
    }
    reason = file->Reason();
    if (!existed) return nullptr;
  }
  return nullptr;
}

PaneCapture::PaneCapture(std::string path, std::unique_ptr<platform::WritableFile> file)
    : path_(std::move(path)),
      file_(std::make_unique<platform::BackgroundFile>(std::move(file), kSyncEvery)) {}

PaneCapture::~PaneCapture() = default;

void PaneCapture::Added(std::string_view text, bool newLine) {
  if (!failure_.empty()) return;
  if (newLine && lineOpen_) collected_ += "\r\n";
  collected_ += text;
  lineOpen_ = true;
  if (collected_.size() >= kHandOverBytes) HandOver();
}

void PaneCapture::HandOver() {
  if (!failure_.empty()) return;
  failure_ = file_->Failure();
  if (failure_.empty() && file_->Waiting() > kMaxWaiting) {
    failure_ = "Disk yetişemiyor";
  }
  if (!failure_.empty()) {
    collected_.clear();
    collected_.shrink_to_fit();
    return;
  }
  if (collected_.empty()) return;
  const uint64_t at = handedOver_;
  handedOver_ += collected_.size();
  file_->Write(at, std::move(collected_));
  collected_.clear();
}

bool PaneCapture::End(std::chrono::milliseconds deadline) {
  if (lineOpen_) collected_ += "\r\n";
  lineOpen_ = false;
  HandOver();
  const bool settled = file_->Settle(deadline);
  // The last text went over just now: a failure to write it is the recording's too.
  if (failure_.empty()) failure_ = file_->Failure();
  return settled && failure_.empty();
}

std::string PaneCapture::Failure() const {
  return failure_;
}

std::string CaptureFileName(int n, int year, int month, int day, int hour, int minute, int second) {
  char name[64];
  std::snprintf(name, sizeof name, "com%d-%04d%02d%02d-%02d%02d%02d.txt", n, year, month, day, hour,
                minute, second);
  return name;
}
