// The "Omron Strings" tab: frames, the command buttons and "16,5".
#include "platform/text/qt_text.h"
#include "senders/omron_frame.h"
#include "window/wirelabmain.h"

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
