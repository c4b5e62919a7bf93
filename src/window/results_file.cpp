#include "window/results_file.h"

#include <chrono>
#include <stdexcept>

#include "platform/text/cp1254.h"

namespace {

// Dropped lines wait for this much before going to the file's thread in one piece.
constexpr size_t kHandOverBytes = 1 << 20;
constexpr auto kSyncEvery = std::chrono::seconds(1);
constexpr auto kSaveDeadline = std::chrono::minutes(1);

// The box's message: "\"path\" <what>. <reason>.", in CP1254.
std::string Message(const char* what, const std::string& path, const std::string& reason) {
  return platform::Utf8ToCp1254("\"" + path + "\" " + what + ". " + reason + ".");
}

constexpr const char* kCannotCreate = "dosyası oluşturulamadı";
constexpr const char* kCannotWrite = "dosyasına yazılamadı";

}  // namespace

ResultsFile::~ResultsFile() = default;

void ResultsFile::Begin(std::string path) {
  path_ = std::move(path);
  file_.reset();
  dropped_.clear();
  kept_ = 0;
  failure_.clear();
}

bool ResultsFile::OpenFile() {
  if (file_) return true;
  if (!failure_.empty()) return false;
  auto file = std::make_unique<platform::WritableFile>(platform::Language::Turkish);
  if (!file->Open(path_, true)) {
    failure_ = Message(kCannotCreate, path_, file->Reason());
    return false;
  }
  file_ = std::make_unique<platform::BackgroundFile>(std::move(file), kSyncEvery);
  return true;
}

void ResultsFile::Dropped(const std::string& line) {
  if (!failure_.empty()) return;
  dropped_ += line;
  dropped_ += "\r\n";
  if (dropped_.size() >= kHandOverBytes) HandOver();
}

void ResultsFile::HandOver() {
  if (dropped_.empty() || !OpenFile()) return;
  const uint64_t at = kept_;
  kept_ += dropped_.size();
  file_->Write(at, std::move(dropped_));
  dropped_.clear();
}

void ResultsFile::KeepDropped() {
  HandOver();
  ThrowIfFailed();
}

void ResultsFile::ThrowIfFailed() {
  if (failure_.empty() && file_ && !file_->Failure().empty()) {
    failure_ = Message(kCannotWrite, path_, file_->Failure());
  }
  if (!failure_.empty()) throw std::runtime_error(failure_);
}

void ResultsFile::Save(const std::vector<std::string>& paneLines) {
  HandOver();
  OpenFile();
  ThrowIfFailed();
  std::string text;
  for (const std::string& line : paneLines) {
    text += line;
    text += "\r\n";
  }
  file_->Write(kept_, std::move(text), true);
  if (!file_->Settle(kSaveDeadline)) {
    failure_ = Message(kCannotWrite, path_, "Disk bir dakikada yazamadı");
  }
  ThrowIfFailed();
}
