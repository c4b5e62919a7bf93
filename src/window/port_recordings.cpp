#include "window/port_recordings.h"

#include <QDateTime>
#include <QFileDialog>
#include <algorithm>

#include "platform/text/cp1254.h"
#include "window/log_pane.h"
#include "window/window_text.h"

namespace {

// Collected text goes to the files' threads this often, and failures show as soon.
constexpr int kHandOverMs = 200;
// Closing the window waits this long at most for the files, all of them together.
constexpr auto kEndDeadline = std::chrono::milliseconds(400);

std::optional<std::string> AskRecordingFile(QWidget* parent, int N, const std::string& suggested) {
  const QString path =
      QFileDialog::getSaveFileName(parent, Utf8("com%1 kaydı").arg(N), Utf8(suggested),
                                   Utf8("Metin dosyaları (*.txt);;Tüm dosyalar (*)"), nullptr,
                                   QFileDialog::DontConfirmOverwrite);
  if (path.isEmpty()) return std::nullopt;
  return path.toUtf8().toStdString();
}

}  // namespace

PortRecordings::PortRecordings(const std::array<LogPane*, 5>& panes,
                               const platform::AppFiles& files, QWidget* dialogs,
                               std::function<void(int N)> changed)
    : panes_(panes), files_(files), dialogs_(dialogs), changed_(std::move(changed)) {
  QObject::connect(&captureTimer_, &QTimer::timeout, &captureTimer_,
                   [this] { HandOverCaptures(); });
}

PortRecordings::~PortRecordings() {
  EndAllCaptures();
}

void PortRecordings::CaptureOnOpen(std::string folder) {
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '/';
  captureFolder_ = std::move(folder);
}

std::string PortRecordings::SuggestedCapturePath(int N) const {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  const std::string name =
      CaptureFileName(N, d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
  platform::AppFiles files = files_;
  if (!captureFolder_.empty()) files.outputDir = captureFolder_;
  try {
    return platform::OutputFilePath(files, name);  // the folder is made when missing
  } catch (const std::exception&) {
    // The recording that follows fails on the folder and says why.
    return files.outputDir + name;
  }
}

void PortRecordings::CaptureMenuChosen(int N) {
  if (captures_[N]) {
    EndCapture(N);
    return;
  }
  const std::string suggested = SuggestedCapturePath(N);
  const std::optional<std::string> path =
      AskCapturePath ? AskCapturePath(N, suggested) : AskRecordingFile(dialogs_, N, suggested);
  if (path) StartCapture(N, *path);
}

void PortRecordings::StartCapture(int N, const std::string& path) {
  EndCapture(N);
  std::string reason;
  captures_[N] = PaneCapture::Start(path, reason);
  if (captures_[N]) {
    capturePath_[N] = captures_[N]->Path();
    captureFailure_[N].clear();
    panes_[N]->AddListener(captures_[N].get());
    if (!captureTimer_.isActive()) captureTimer_.start(kHandOverMs);
  } else {
    capturePath_[N] = path;
    captureFailure_[N] = reason;
  }
  changed_(N);
}

bool PortRecordings::FinishCapture(int N, std::chrono::milliseconds deadline) {
  captureByTick_[N] = false;
  if (!captures_[N]) return true;
  panes_[N]->RemoveListener(captures_[N].get());
  // The last writes happen in End: its failure, not one taken before them, is the reason.
  const bool complete = captures_[N]->End(deadline);
  captureFailure_[N] = captures_[N]->Failure();
  captures_[N].reset();
  return complete;
}

void PortRecordings::EndCapture(int N) {
  const bool recorded = Capturing(N);
  FinishCapture(N, kEndDeadline);
  if (recorded) changed_(N);
}

std::vector<PortRecordings::Unfinished> PortRecordings::EndAllCaptures() {
  std::vector<Unfinished> unfinished;
  const auto deadline = std::chrono::steady_clock::now() + kEndDeadline;
  for (int n = 1; n <= 4; ++n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (FinishCapture(n, std::max(left, std::chrono::milliseconds(0)))) continue;
    const bool stalled = captureFailure_[n].empty();
    const std::string reason = stalled ? "Disk yetişemiyor" : captureFailure_[n];
    unfinished.push_back(
        {platform::Utf8ToCp1254("com" + std::to_string(n) + " kaydı \"" + capturePath_[n] +
                                "\" tamamlanamadı: " + reason + "."),
         stalled});
  }
  captureTimer_.stop();
  return unfinished;
}

bool PortRecordings::Capturing(int N) const {
  return captures_[N] != nullptr;
}

void PortRecordings::CaptureOnTick(int N, bool ticked) {
  if (captureFolder_.empty()) return;
  if (ticked && !captures_[N]) {
    StartCapture(N, SuggestedCapturePath(N));
    captureByTick_[N] = captures_[N] != nullptr;
  } else if (!ticked && captureByTick_[N]) {
    EndCapture(N);
  }
}

void PortRecordings::HandOverCaptures() {
  bool any = false;
  for (int n = 1; n <= 4; ++n) {
    if (!captures_[n]) continue;
    captures_[n]->HandOver();
    if (captures_[n]->Failure().empty()) {
      any = true;
      continue;
    }
    // The recording stops; the pane and the port go on.
    FinishCapture(n, std::chrono::milliseconds(0));
    changed_(n);
  }
  if (!any) captureTimer_.stop();
}

bool PortRecordings::CaptureFailed(int N) const {
  return !Capturing(N) && !captureFailure_[N].empty();
}

std::string PortRecordings::CaptureState(int N) const {
  if (Capturing(N)) return "Kayıt: " + capturePath_[N];
  if (CaptureFailed(N)) return "Kayıt durdu: " + captureFailure_[N] + "\n" + capturePath_[N];
  return {};
}
