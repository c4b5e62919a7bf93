// The "Omron Strings" tab: frames, the command buttons, "16,5", and the test loop: a fixed
// schedule of command presses that saves port 1's pane to "OmronResults.txt" every 100 cycles
// and once more at the end.
#include <stdexcept>
#include <utility>

#include "platform/settings/app_files.h"
#include "platform/text/cp1254.h"
#include "platform/text/qt_text.h"
#include "senders/omron_frame.h"
#include "window/wirelabmain.h"

namespace {
constexpr int kLastCycle = 10000;
constexpr int kSaveEvery = 100;
}  // namespace

void TForm5::SendOmronFrame(int N) {
  if (!Ports[N]) return;
  const std::string command = platform::FromQString(EditOmron->text());
  SendPaced(N, OmronFrame(command, CheckBox5->isChecked()));
}

void TForm5::SpeedButton61Click(QToolButton* Sender) {
  EditOmron->setText(Sender->text());
  ButtonSendClick();
}

void TForm5::SpeedButton165Click() {
  EditASCII->setText(QStringLiteral("016005"));
  if (const int N = SelectedPortOrAsk()) SendAsciiCodes(N);
}

void TForm5::SpeedButtonLoopClick() {
  LoopRunning = !LoopRunning;
  // A press while a loop runs only flips the flag: the running loop sees it before its next
  // cycle, and never a second loop starts inside the first.
  if (LoopRunning && !loopActive_) {
    // A loop started from inside a tick's message processing must still let ticks through
    // between its steps; the outer tick stays parked meanwhile, so ticks never nest.
    const bool tickWasBusy = std::exchange(tickBusy_, false);
    struct Restore {
      bool& flag;
      bool value;
      ~Restore() { flag = value; }
    } restore{tickBusy_, tickWasBusy};
    RunOmronLoop();
  }
}

void TForm5::WaitHalfSecond() {
  const uint32_t start = clock_.Now();
  for (;;) {
    const uint32_t elapsed = clock_.Now() - start;
    if (elapsed >= 500 || Closing()) return;
    clock_.ProcessMessagesFor(500 - elapsed);
  }
}

void TForm5::RunOmronLoop() {
  auto commandStep = [this](QToolButton* button) {
    if (Closing()) return;
    SpeedButton61Click(button);
    WaitHalfSecond();
    SpeedButton165Click();
    WaitHalfSecond();
    WaitHalfSecond();
  };
  // The results' folder is made now, so that a loop whose results cannot be kept says so at
  // once rather than at its first save.
  std::string path;
  try {
    path = platform::OutputFilePath(files_, "OmronResults.txt");
  } catch (const std::exception& e) {
    LoopRunning = false;
    throw std::runtime_error(platform::Utf8ToCp1254(e.what()));
  }
  loopActive_ = true;
  results_.Begin(path);
  // What port 1's pane drops from now on goes to the results file as it drops.
  Memo[1]->AddListener(&resultsListener_);
  struct StopListening {
    LogPane* pane;
    LogLines::Listener* listener;
    ~StopListening() { pane->RemoveListener(listener); }
  } stopListening{Memo[1], &resultsListener_};
  try {
    commandStep(SpeedButton00);
    WaitHalfSecond();
    WaitHalfSecond();
    int cycles = 0;
    while (LoopRunning && !Closing()) {
      commandStep(SpeedButton40);
      WaitHalfSecond();
      WaitHalfSecond();
      commandStep(SpeedButton61);
      commandStep(SpeedButton62);
      commandStep(SpeedButton30);
      ++cycles;
      if (cycles % kSaveEvery == 0) {
        SaveOmronResults();
      } else {
        results_.KeepDropped();
      }
      if (cycles > kLastCycle) LoopRunning = false;
    }
  } catch (...) {
    // The loop is over whatever ended it, so the next press starts a new one.
    loopActive_ = false;
    LoopRunning = false;
    try {
      SaveOmronResults();
    } catch (...) {
    }
    throw;
  }
  loopActive_ = false;
  LoopRunning = false;
  SaveOmronResults();
}

void TForm5::SaveOmronResults() {
  results_.Save(Memo[1]->Lines());
}
