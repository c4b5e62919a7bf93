// The "ASCII" tab: byte codes, the inter-byte delay shared by the send modes, and periodic
// sending.
#include <algorithm>

#include "platform/int_conv.h"
#include "platform/qt_text.h"
#include "platform/ticks.h"
#include "platform/ui_services.h"
#include "senders/byte_codes.h"
#include "window/wirelabmain.h"

void TForm5::SendAsciiCodes(int N) {
  TRealCom* port = Ports[N];
  if (!port) return;
  for (uint8_t byte : ByteCodesToBytes(platform::FromQString(EditASCII->text()))) {
    if (Closing()) return;
    port->SendByte(nullptr, byte);
    InterByteDelay();
  }
}

void TForm5::InterByteDelay() {
  int32_t left = platform::StrToIntDef(platform::FromQString(EditSleep->text()), 0);
  // The main thread stays blocked, but in slices, so that a request to end is seen.
  constexpr int32_t kSlice = 50;
  while (left > 0 && !Closing()) {
    const int32_t slice = std::min(left, kSlice);
    platform::Sleep(static_cast<uint32_t>(slice));
    left -= slice;
  }
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
  platform::ProcessMessages();
}

void TForm5::Timer1Timer() {}
