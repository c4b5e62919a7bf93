#include "window/wirelabmain.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <cstdio>

#include "platform/devices/com_devices.h"
#include "platform/settings/profile.h"
#include "platform/text/cp1254.h"
#include "platform/text/int_conv.h"
#include "platform/text/qt_text.h"
#include "platform/thread/quit_request.h"
#include "platform/time/ticks.h"
#include "serial/receive_entry.h"
#include "window/message_boxes.h"

using platform::Cp1254;
using platform::ToQString;

namespace {

const std::string& ChoosePortMessage() {
  static const std::string text = Cp1254("Lütfen bilginin hangi porta yazılacağını seçin.");
  return text;
}

}  // namespace

TForm5::TForm5(platform::Clock& clock, platform::MessageBoxes& boxes, platform::AppFiles files,
               platform::PortDrains* drains)
    : QWidget(nullptr),
      TimerSensor(clock),
      Timer1(clock),
      TimerQueue(clock),
      Recordings(Memo, files_, this, [this](int N) { ShowPortState(N); }),
      Scenarios(clock, boxes, this),
      clock_(clock),
      boxes_(boxes),
      files_(std::move(files)),
      Pos(*this),
      portDrains_(drains) {
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const double dpi = screen->logicalDotsPerInch();
    if (dpi > 0) scale_ = dpi / 96.0;
  }
  BuildControls();
  WireScenarios();
  TimerSensor.SetInterval(800);
  TimerSensor.OnTimer = Guard([this] { TimerSensorTimer(); });
  // Timer1 is part of the window but nothing switches it on; see Timer1Timer.
  Timer1.SetInterval(5000);
  Timer1.OnTimer = Guard([this] { Timer1Timer(); });
  TimerQueue.OnTimer = Guard([this] { TimerQueueTimer(); });
  boxes_.Guarded([this] { FormCreate(); });
}

TForm5::~TForm5() {
  FormDestroy();
}

std::function<void()> TForm5::Guard(std::function<void()> handler) {
  return [this, handler = std::move(handler)] { boxes_.Guarded(handler); };
}

QWidget* TForm5::ActivePage() const {
  const int index = PageControl1->currentIndex();
  if (index < 0 || !PageControl1->isTabVisible(index)) return nullptr;
  return PageControl1->widget(index);
}

bool TForm5::Closing() const {
  return platform::QuitRequested();
}

void TForm5::closeEvent(QCloseEvent* event) {
  // Running loops, waits and periodic sending give way; the ports go with the window.
  platform::RequestQuit();
  LoopRunning = false;
  TimerSensor.SetEnabled(false);
  event->accept();
}

// ---------------------------------------------------------------------------------------------
// Window events

void TForm5::FormCreate() {
  platform::ResetQuitRequest();
  StartTick = clock_.Now();
  std::string unreadable;
  const platform::Profile profile = platform::Profile::Load(files_.settings, &unreadable);
  if (!unreadable.empty()) {
    std::fprintf(stderr, "WireLab: %s not read (%s); the defaults hold\n", files_.settings.c_str(),
                 unreadable.c_str());
  }
  // The last lookup spells its section "tabs". Profile names match without regard to case,
  // so it reads the same section as "Tabs" (and files that write [TABS] work as well); it is
  // harmless and left as it is.
  const struct {
    const char* section;
    const char* key;
    QWidget* sheet;
  } tabs[] = {{"Tabs", "Ascii", TabSheetASCII},
              {"Tabs", "Omron", TabSheetOmron},
              {"Tabs", "Pos", TabSheetPos},
              {"tabs", "YazarKasa", TabSheetYazarKasa}};
  for (const auto& tab : tabs) {
    const bool shown = profile.ReadInteger(tab.section, tab.key, 1) > 0;
    PageControl1->setTabVisible(PageControl1->indexOf(tab.sheet), shown);
  }
  comDevices_.Load(profile);
  for (int n = 1; n <= 4; ++n) {
    paneHex_[n] = profile.ReadInteger("Ports", "Com" + std::to_string(n) + "Hex", 0) == 1;
    hexSaved_[n] = paneHex_[n];
  }
  LastRxTick = clock_.Now();
  for (int n = 1; n <= 4; ++n) ShowPortState(n);
}

void TForm5::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  TimerSensor.SetEnabled(false);
  TimerQueue.SetEnabled(false);
  Scenarios.EndAll();
  for (int n = 1; n <= 4; ++n) Ports[n].reset();
  // After the ports: the recordings end with everything the panes got. No box can show a
  // recording left incomplete now: it goes to stderr and into the exit code.
  for (const PortRecordings::Unfinished& recording : Recordings.EndAllCaptures()) {
    boxes_.ReportAtEnd(recording.text, recording.stalled ? 2 : 1);
  }
}

// ---------------------------------------------------------------------------------------------
// Port channels, send dispatch, receive display

void TForm5::OnComCheck(TCheckBox* Sender) {
  const int N = Sender->Tag;
  const QString item = QStringLiteral("Com%1").arg(N);
  if (Sender->isChecked()) {
    // Sorted insert, after any equal item. A first item must not select itself.
    int at = 0;
    while (at < ComboBox1->count() &&
           ComboBox1->itemText(at).compare(item, Qt::CaseInsensitive) <= 0)
      ++at;
    const int selected = ComboBox1->currentIndex();
    ComboBox1->insertItem(at, item);
    if (selected < 0) ComboBox1->setCurrentIndex(-1);
    Recordings.CaptureOnTick(N, true);
    if (!Ports[N]) CreatePortObject(N);
    ComboBox1->setCurrentIndex(ComboBox1->findText(item));
  } else {
    const int found = ComboBox1->findText(item);
    if (found >= 0) ComboBox1->removeItem(found);
    DestroyPortObject(N);
    Recordings.CaptureOnTick(N, false);
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
  }
  ComboBox1->update();
  ShowPortState(N);
}

void TForm5::CreatePortObject(int N) {
  openFailure_[N].clear();
  std::unique_ptr<TRealCom> made;
  try {
    made = std::make_unique<TRealCom>(portCalls_, true, nullptr, N,
                                      platform::FromQString(Edit[N]->text()), comDevices_,
                                      portDrains_);
  } catch (const std::exception& e) {
    openFailure_[N] = e.what();
    ShowPortState(N);
    throw;
  }
  TRealCom* port = made.get();
  Ports[N] = std::move(made);
  port->OnReceive = [this](TPeripheral* s, uint8_t v) { PortByteReceived(s, v); };
  port->OnDeviceChange = [this, N] { ShowPortState(N); };
  port->OnLinesChange = [this, N] { ShowLines(N); };
  port->OnLinkNote = [this, N] { ShowPortState(N); };
  port->OnSendStallChange = [this, N] { ShowPortState(N); };
  port->Resume();
}

void TForm5::DestroyPortObject(int N) {
  EndBreak(N);
  if (Ports[N]) {
    Ports[N]->Suspend();
    clock_.Sleep(100);
    Ports[N].reset();
  }
}

int TForm5::SelectedPortOrAsk() {
  if (ComboBox1->currentIndex() < 0) {
    boxes_.Show(ChoosePortMessage());
    return 0;
  }
  const std::string text = platform::FromQString(ComboBox1->currentText());
  return platform::StrToInt(text.size() > 3 ? text.substr(3, 1) : std::string());
}

void TForm5::ButtonSendClick() {
  const int N = SelectedPortOrAsk();
  if (N == 0) return;
  if (ActivePage() == TabSheetASCII) {
    SendAsciiCodes(N);
  } else if (ActivePage() == TabSheetOmron) {
    SendOmronFrame(N);
  } else if (ActivePage() == TabSheetPos) {
    SendPosCommand(N);
  } else if (ActivePage() == TabSheetYazarKasa) {
    SendYazarKasaPacket(N);
  }
}

void TForm5::PortByteReceived(TPeripheral* Sender, uint8_t Value) {
  int N = 0;
  for (int n = 1; n <= 4; ++n) {
    if (Ports[n].get() == Sender) N = n;
  }
  if (N != 0) {
    Scenarios.ByteReceived(N, Value);
    if (ActivePage() == TabSheetPos) {
      // A scenario that plays the terminal on the port answers there instead.
      if (!Scenarios.PlaysTerminal(N)) PosByteReceived(Value, Memo[N], N);
    } else {
      Memo[N]->ExtendLastLine(ReceiveEntry(clock_.Now() - StartTick, Value, paneHex_[N]));
    }
  }
  LastRxTick = clock_.Now();
}
