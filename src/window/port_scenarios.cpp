#include "window/port_scenarios.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "platform/files/file_io.h"
#include "platform/text/cp1254.h"
#include "window/window_text.h"

namespace {

constexpr size_t kMostScenarioBytes = 1 << 20;
constexpr uint8_t kCarriageReturn = 13;

std::optional<std::string> AskScenarioFile(QWidget* parent, int N) {
  const QString path =
      QFileDialog::getOpenFileName(parent, Utf8("com%1 senaryosu").arg(N), QString(),
                                   Utf8("Senaryo dosyaları (*.scn);;Tüm dosyalar (*)"));
  if (path.isEmpty()) return std::nullopt;
  return path.toUtf8().toStdString();
}

std::optional<std::string> AskRecordingFile(QWidget* parent, int N) {
  const QString suggested =
      QStringLiteral("com%1-%2.scn")
          .arg(N)
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const QString path =
      QFileDialog::getSaveFileName(parent, Utf8("com%1 senaryo kaydı").arg(N), suggested,
                                   Utf8("Senaryo dosyaları (*.scn);;Tüm dosyalar (*)"));
  if (path.isEmpty()) return std::nullopt;
  return path.toUtf8().toStdString();
}

// CP1254 bytes as the pane shows them, with control characters written out.
std::string Shown(const std::string& bytes) {
  std::string text = "\"";
  for (const char ch : bytes) {
    const auto value = static_cast<uint8_t>(ch);
    if (value == kCarriageReturn) {
      text += "\\r";
    } else if (value < 0x20 || value == 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", value);
      text += code;
    } else {
      text += ch;
    }
  }
  return text + "\"";
}

bool Replace(std::string& text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos) return false;
  text.replace(at, from.size(), to);
  return true;
}

// The runner's words for a failure, as the user reads them (UTF-8).
std::string InTurkish(std::string text) {
  static const std::pair<const char*, const char*> kWhole[] = {
      {"a different packet", "başka bir paket geldi"},
      {"wrong check letter", "kontrol harfi yanlış"},
      {"STTX ... PROV acknowledged", "STTX ... PROV onayı"},
      {"no transaction open", "açık işlem yok"},
  };
  for (const auto& [from, to] : kWhole) {
    if (text == from) return to;
  }
  const size_t within = text.find(" within ");
  if (text.rfind("nothing came within ", 0) == 0) {
    return text.substr(within + 8) + " içinde paket gelmedi";
  }
  if (text.rfind("no sale closed within ", 0) == 0) {
    return text.substr(within + 8) + " içinde satış kapanmadı";
  }
  if (text.rfind("no packet has come on port ", 0) == 0) return "onaylanacak paket gelmedi";
  if (text.rfind("port ", 0) == 0 && text.size() > 10 && text.compare(6, 10, " is closed") == 0) {
    return "port kapalı";
  }
  if (text.rfind("port ", 0) == 0 && Replace(text, " could not be opened again: ", "")) {
    return "port yeniden açılamadı: " + text.substr(7);
  }
  if (text.rfind("transaction ", 0) == 0 && Replace(text, " still open", " numaralı işlem açık")) {
    Replace(text, ", last sent ", ", son gönderilen ");
    return text.substr(12);
  }
  return text;
}

// What a step expected or got (CP1254): the runner's words in Turkish, bytes quoted.
std::string Value(const std::string& cp1254) {
  const std::string utf8 = platform::Cp1254ToUtf8(cp1254);
  const std::string words = InTurkish(utf8);
  return words != utf8 ? words : platform::Cp1254ToUtf8(Shown(cp1254));
}

}  // namespace

// One run: the scenario, its runner, and the host that takes the file's port to the window's.
class PortScenarios::Run : private ScenarioHost {
 public:
  Run(PortScenarios& owner, int N, Scenario scenario)
      : owner_(owner), n_(N), scenario_(std::move(scenario)) {
    for (const ScenarioStep& step : scenario_.steps) {
      playsTerminal_ = playsTerminal_ || step.kind == StepKind::Terminal;
    }
    for (int n = 1; n <= 4; ++n) {
      if (scenario_.usesPort[n]) filePort_ = n;
    }
    runner_ = std::make_unique<ScenarioRunner>(scenario_, static_cast<ScenarioHost&>(*this),
                                               owner_.clock_);
  }
  ~Run() override { runner_.reset(); }

  void Start() { runner_->Start(); }
  void Stop() { runner_->Abort("durduruldu"); }
  bool Going() const { return !runner_->Finished(); }
  bool PlaysTerminal() const { return playsTerminal_; }
  void ByteReceived(uint8_t value) {
    if (!closing_) runner_->ByteReceived(filePort_, value);
  }

 private:
  bool PortOpen(int) override { return !closing_ && owner_.ports_.open(n_); }
  void SendBytes(int, const std::vector<uint8_t>& bytes) override { owner_.ports_.send(n_, bytes); }
  void PurgePort(int) override { owner_.ports_.purge(n_); }
  // The close may be asked for from inside the port's own delivery: it is done once that has
  // returned.
  void ClosePort(int) override {
    if (closing_) return;
    closing_ = true;
    QTimer::singleShot(0, &context_, [this] {
      closing_ = false;
      owner_.ports_.close(n_);
    });
  }
  bool ReopenPort(int, std::string& reason) override {
    if (owner_.ending_) {
      reason = "the window is closing";
      return false;
    }
    if (closing_) {
      closing_ = false;
      owner_.ports_.close(n_);
    }
    return owner_.ports_.reopen(n_, reason);
  }
  void AddLogLine(int, const std::string& line) override { owner_.ports_.addLine(n_, line); }
  std::string PosNumberText() override { return owner_.ports_.posNumber(); }
  void StepFinished(const StepResult& result) override { owner_.StepFinished(n_, result); }
  void ScenarioFinished(bool passed) override { owner_.Finished(n_, passed); }

  PortScenarios& owner_;
  const int n_;
  const Scenario scenario_;
  int filePort_ = 1;
  bool playsTerminal_ = false;
  bool closing_ = false;
  std::unique_ptr<ScenarioRunner> runner_;
  QObject context_;
};

PortScenarios::PortScenarios(platform::Clock& clock, platform::MessageBoxes& boxes,
                             QWidget* dialogs)
    : clock_(clock), boxes_(boxes), dialogs_(dialogs) {}

PortScenarios::~PortScenarios() {
  EndAll();
}

void PortScenarios::Wire(WindowPorts ports, const std::array<QWidget*, 5>& groups) {
  ports_ = std::move(ports);
  for (int n = 1; n <= 4; ++n) {
    marks_[n] = new QLabel(groups[n]);
    marks_[n]->hide();
  }
}

// ---------------------------------------------------------------------------------------------
// Runs

void PortScenarios::RunMenuChosen(int N) {
  if (Running(N)) {
    Stop(N);
    return;
  }
  const std::optional<std::string> path =
      AskScenarioPath ? AskScenarioPath(N) : AskScenarioFile(dialogs_, N);
  if (path) Start(N, *path);
}

void PortScenarios::Start(int N, const std::string& path) {
  Stop(N);
  const platform::SmallFile file =
      platform::ReadSmallFile(path, kMostScenarioBytes, platform::Language::Turkish);
  std::string refusal;
  ScenarioParse parse;
  if (file.status == platform::SmallFile::Status::Missing) {
    refusal = "dosya yok";
  } else if (file.status == platform::SmallFile::Status::Failed) {
    refusal = file.reason;
  } else {
    parse = ParseScenario(file.content);
    if (!parse.scenario) {
      refusal = parse.line > 0 ? "satır " + std::to_string(parse.line) + ": " + parse.reason
                               : parse.reason;
    }
  }
  if (parse.scenario) {
    int firstPort = 0;
    for (const ScenarioStep& step : parse.scenario->steps) {
      if (firstPort == 0) firstPort = step.port;
      if (step.port != firstPort) {
        refusal = "satır " + std::to_string(step.line) +
                  ": dosya birden çok portta çalışıyor, pencere bir senaryoyu tek portta "
                  "çalıştırır";
        break;
      }
    }
  }
  if (!refusal.empty()) {
    boxes_.Show(platform::Utf8ToCp1254("\"" + path + "\" senaryosu çalıştırılamadı: " + refusal +
                                       ". Hiçbir şey gönderilmedi."));
    return;
  }
  if (!ports_.open(N)) {
    boxes_.Show(platform::Utf8ToCp1254("com" + std::to_string(N) + " açık değil; \"" + path +
                                       "\" senaryosu çalıştırılamadı."));
    return;
  }
  runs_[N] = std::make_unique<Run>(*this, N, std::move(*parse.scenario));
  verdict_[N] = Verdict::Running;
  runPath_[N] = path;
  failedLine_[N] = 0;
  stopped_[N] = false;
  Line(N, "Senaryo başladı: " + QFileInfo(Utf8(path)).fileName().toUtf8().toStdString());
  ports_.changed(N);
  runs_[N]->Start();
}

void PortScenarios::Stop(int N) {
  if (!Running(N)) return;
  stopped_[N] = true;
  runs_[N]->Stop();
}

bool PortScenarios::Running(int N) const {
  return runs_[N] && runs_[N]->Going();
}

bool PortScenarios::PlaysTerminal(int N) const {
  return Running(N) && runs_[N]->PlaysTerminal();
}

std::string PortScenarios::RunState(int N) const {
  switch (verdict_[N]) {
    case Verdict::None:
      return {};
    case Verdict::Running:
      return "Senaryo çalışıyor: " + runPath_[N];
    case Verdict::Passed:
      return "Senaryo geçti: " + runPath_[N];
    case Verdict::Failed:
      return std::string(stopped_[N] ? "Senaryo durduruldu" : "Senaryo başarısız") + " (satır " +
             std::to_string(failedLine_[N]) + "): " + runPath_[N];
  }
  return {};
}

void PortScenarios::StepFinished(int N, const StepResult& result) {
  const ScenarioStep& step = *result.step;
  std::string line = "Senaryo: satır " + std::to_string(step.line) + ": " + step.source;
  const std::string took = " (" + std::to_string(result.ms) + " ms)";
  if (result.passed) {
    Line(N, line + " geçti" + took);
    return;
  }
  failedLine_[N] = step.line;
  line += " başarısız" + took + ": " + InTurkish(result.reason);
  if (!result.expected.empty()) line += "; beklenen " + Value(result.expected);
  if (!result.got.empty()) line += ", gelen " + Value(result.got);
  Line(N, line);
}

void PortScenarios::Finished(int N, bool passed) {
  verdict_[N] = passed ? Verdict::Passed : Verdict::Failed;
  if (passed) {
    Line(N, "Senaryo bitti: geçti");
  } else {
    Line(N, std::string(stopped_[N] ? "Senaryo bitti: durduruldu" : "Senaryo bitti: başarısız") +
                " (satır " + std::to_string(failedLine_[N]) + ")");
  }
  ports_.changed(N);
  // The runner is deep in its own call: the run goes on the next turn, unless a new one took
  // its place meanwhile.
  Run* run = runs_[N].get();
  QTimer::singleShot(0, &context_, [this, N, run] {
    if (runs_[N].get() == run) runs_[N].reset();
  });
}

void PortScenarios::Line(int N, const std::string& utf8) {
  ports_.addLine(N, platform::Utf8ToCp1254(utf8));
}

// ---------------------------------------------------------------------------------------------
// Recording the register's side

void PortScenarios::RecordMenuChosen(int N) {
  if (Recording(N)) {
    EndRecording(N);
    return;
  }
  const std::optional<std::string> path =
      AskRecordingPath ? AskRecordingPath(N) : AskRecordingFile(dialogs_, N);
  if (path) StartRecording(N, *path);
}

void PortScenarios::StartRecording(int N, const std::string& path) {
  EndRecording(N);
  auto record = std::make_unique<Record>();
  record->path = platform::ResolveLinks(path);
  std::string step, reason;
  if (!platform::ReplaceFileContent(record->path, {}, step, reason, platform::Language::Turkish) ||
      !record->stream.OpenAppending(record->path)) {
    if (reason.empty()) reason = record->stream.Reason();
    boxes_.Show(
        platform::Utf8ToCp1254("\"" + record->path + "\" dosyası oluşturulamadı. " + reason + "."));
    return;
  }
  Record* raw = record.get();
  record->recorder = std::make_unique<ScenarioRecorder>([this, N, raw](const std::string& line) {
    if (!raw->failure.empty()) return;
    if (raw->stream.Write(line) != platform::OutputStream::Result::Written) {
      raw->failure = raw->stream.Reason();
      // The recording stops once the recorder has returned.
      QTimer::singleShot(0, &context_, [this, N, raw] {
        if (recordings_[N].get() == raw) EndRecording(N);
      });
    }
  });
  record->recorder->Begin("WireLab", "on com" + std::to_string(N) + " " +
                                         QDateTime::currentDateTime()
                                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                             .toStdString());
  recordingPath_[N] = record->path;
  recordingFailure_[N].clear();
  recordings_[N] = std::move(record);
  ports_.changed(N);
}

void PortScenarios::EndRecording(int N) {
  if (!recordings_[N]) return;
  recordingFailure_[N] = recordings_[N]->failure;
  recordings_[N].reset();
  if (!ending_) ports_.changed(N);
}

std::string PortScenarios::RecordingState(int N) const {
  if (Recording(N)) return "Senaryo kaydı: " + recordingPath_[N];
  if (!recordingFailure_[N].empty()) {
    return "Senaryo kaydı durdu: " + recordingFailure_[N] + "\n" + recordingPath_[N];
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// What the port does

void PortScenarios::ByteReceived(int N, uint8_t value) {
  if (recordings_[N]) recordings_[N]->recorder->RegisterByte(N, value, clock_.Now());
  if (Running(N)) runs_[N]->ByteReceived(value);
}

void PortScenarios::TerminalSent(int N, const std::vector<uint8_t>& bytes) {
  if (recordings_[N]) recordings_[N]->recorder->TerminalFrame(N, bytes, clock_.Now());
}

// ---------------------------------------------------------------------------------------------
// The mark

void PortScenarios::ShowMark(int N, const std::string& tip) {
  QLabel* mark = marks_[N];
  if (!mark) return;
  const Verdict verdict = verdict_[N];
  mark->setVisible(verdict != Verdict::None);
  QColor color(0, 96, 192);
  if (verdict == Verdict::Running) {
    mark->setText(Utf8("▶ Senaryo"));
  } else if (verdict == Verdict::Passed) {
    mark->setText(Utf8("✔ Senaryo geçti"));
    color = QColor(0, 128, 0);
  } else {
    mark->setText(Utf8("✖ Senaryo başarısız"));
    color = QColor(192, 0, 0);
  }
  QPalette palette = mark->palette();
  palette.setColor(QPalette::WindowText, color);
  mark->setPalette(palette);
  mark->setToolTip(Utf8(tip));
}

void PortScenarios::PlaceMark(int N, const QRect& area, const QLabel* before) {
  QLabel* mark = marks_[N];
  if (!mark) return;
  int left = area.left();
  if (before && !before->isHidden()) {
    left +=
        before->fontMetrics().horizontalAdvance(before->text()) + before->fontMetrics().height();
  }
  mark->setGeometry(left, area.top(), std::max(0, area.right() + 1 - left), area.height());
}

void PortScenarios::EndAll() {
  ending_ = true;
  for (int n = 1; n <= 4; ++n) {
    runs_[n].reset();
    EndRecording(n);
  }
}
