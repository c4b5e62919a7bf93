// Paced sending, shared by the "ASCII" and "Omron Strings" tabs: bytes sent one at a time with
// the "sleep" field's delay after each, the window living on during the pauses (see SendHold).
#include <algorithm>

#include "platform/text/int_conv.h"
#include "platform/text/qt_text.h"
#include "window/send_hold.h"
#include "window/wirelabmain.h"

void TForm5::SendPaced(int N, const std::vector<uint8_t>& bytes) {
  TRealCom* port = Ports[N].get();
  if (!port) return;
  // During the pauses the window lives on, but of the user's actions only three take effect:
  // closing the window and un-ticking this port's "Open" end the send, "STOP!" ends periodic
  // sending after it. The rest waits for the send to end.
  SendHold hold(clock_, portCalls_, [this, N](QWidget* target) {
    return (target == CheckBox[N] && CheckBox[N]->isChecked()) ||
           (target == SpeedButton1 && TimerSensor.Enabled());
  });
  const Sending outer = sending_;
  sending_ = {&hold, N, port};
  for (uint8_t byte : bytes) {
    if (SendStopped()) break;
    port->SendByte(nullptr, byte);
    InterByteDelay();
  }
  sending_ = outer;
}

bool TForm5::SendStopped() const {
  return Closing() || (sending_.hold != nullptr && Ports[sending_.port].get() != sending_.object);
}

void TForm5::InterByteDelay() {
  int32_t left = platform::StrToIntDef(platform::FromQString(EditSleep->text()), 0);
  if (left <= 0) return;
  if (sending_.hold != nullptr) {
    sending_.hold->Pause(static_cast<uint32_t>(left), [this] { return SendStopped(); });
    return;
  }
  // Outside a send the main thread stays blocked, but in slices, so that a request to end
  // is seen.
  constexpr int32_t kSlice = 50;
  while (left > 0 && !Closing()) {
    const int32_t slice = std::min(left, kSlice);
    clock_.Sleep(static_cast<uint32_t>(slice));
    left -= slice;
  }
}
