// The "ASCII" tab: byte codes and periodic sending.
#include "platform/text/int_conv.h"
#include "platform/text/qt_text.h"
#include "senders/byte_codes.h"
#include "window/wirelabmain.h"

void TForm5::SendAsciiCodes(int N) {
  if (!Ports[N]) return;
  SendPaced(N, ByteCodesToBytes(platform::FromQString(EditASCII->text())));
}

void TForm5::SpeedButton1Click() {
  TimerSensor.SetEnabled(!TimerSensor.Enabled());
  if (auto interval = platform::TryStrToInt(platform::FromQString(EditInterval->text()))) {
    TimerSensor.SetInterval(*interval);
  }
  SpeedButton1->setText(TimerSensor.Enabled() ? QStringLiteral("STOP!")
                                              : QStringLiteral("periyodik"));
}

void TForm5::TimerSensorTimer() {
  // A tick that comes while an earlier one is still being handled (a long send, or the
  // "choose a port" box it opened) is skipped, so ticks never nest.
  if (tickBusy_) return;
  tickBusy_ = true;
  struct Release {
    bool& flag;
    ~Release() { flag = false; }
  } release{tickBusy_};
  ButtonSendClick();
  clock_.ProcessMessages();
}

// Timer1 is never switched on, so this never runs. It is left empty rather than given work:
// should the timer ever be enabled by mistake, it must not send anything.
void TForm5::Timer1Timer() {}
