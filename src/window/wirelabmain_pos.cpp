// The "POS" and "Yazar Kasa" tabs: the window's side of the POS terminal.
#include "platform/text/qt_text.h"
#include "window/wirelabmain.h"

void TForm5::SendPosCommand(int N) {
  SendPacket(N, platform::FromQString(EditSendCommand->text()));
}

void TForm5::SendYazarKasaPacket(int N) {
  SendPacket(N, platform::FromQString(EditYazarKasa->text()));
}

void TForm5::SendPacket(int N, const std::string& text) {
  Pos.SendPacket(N, text);
}

void TForm5::PosByteReceived(uint8_t Value, LogPane* /*memo: Memo[N]*/, int N) {
  Pos.PosByteReceived(N, Value, LastRxTick, clock_.Now());
}

void TForm5::TimerQueueTimer() {
  Pos.TimerQueueTimer();
}

bool TForm5::PortPresent(int port) {
  return port >= 1 && port <= 4 && Ports[port] != nullptr;
}

void TForm5::SendBytes(int port, const std::vector<uint8_t>& bytes) {
  if (!PortPresent(port)) return;
  Ports[port]->SendBuffer(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()));
  Scenarios.TerminalSent(port, bytes);
}

void TForm5::AddLogLine(int port, const std::string& line) {
  if (port >= 1 && port <= 4) Memo[port]->AddLine(line);
}

std::string TForm5::PosNumberText() {
  return platform::FromQString(EditPosNo->text());
}

bool TForm5::TransactionPanelVisible() {
  return !PanelIslemBilgisi->isHidden();
}

void TForm5::SetTransactionPanelVisible(bool visible) {
  PanelIslemBilgisi->setVisible(visible);
}

void TForm5::SetTransactionLabels(const std::string& cashRegisterText,
                                  const std::string& transactionText) {
  LabelYazarKasaNo->setText(platform::ToQString(cashRegisterText));
  LabelYazarKasaNo->adjustSize();
  LabelIslemNo->setText(platform::ToQString(transactionText));
  LabelIslemNo->adjustSize();
}

bool TForm5::QueueTimerEnabled() {
  return TimerQueue.Enabled();
}
void TForm5::SetQueueTimerEnabled(bool enabled) {
  TimerQueue.SetEnabled(enabled);
}
void TForm5::SetQueueTimerInterval(int32_t ms) {
  TimerQueue.SetInterval(ms);
}
