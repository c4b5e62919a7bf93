// The modem lines of each port group: lamps for CTS, DSR, DCD and RI, toggles for DTR and RTS
// showing what the device reads back, and a break of kBreakMs on the window's clock.
#include <QFont>

#include "serial/port_diagnosis.h"
#include "window/window_text.h"
#include "window/wirelabmain.h"

namespace {

constexpr const char* kLampNames[] = {"CTS", "DSR", "DCD", "RI"};
constexpr const char* kLampTips[] = {"CTS (gönderime hazır)", "DSR (veri seti hazır)",
                                     "DCD (taşıyıcı algılandı)", "RI (zil)"};
constexpr const char* kDtrTip = "DTR (veri terminali hazır)";
constexpr const char* kRtsTip = "RTS (gönderme isteği)";
constexpr const char* kBreakTip = "Break: hat 250 ms boyunca boşlukta (space) tutulur";

constexpr const char* kLit = "background:#38b838; color:#000; border:1px solid #1c5c1c;";
constexpr const char* kDark = "background:#e4e4e4; color:#404040; border:1px solid #909090;";
constexpr const char* kUnknown = "color:#a0a0a0; border:1px dotted #b0b0b0;";

void ShowLamp(QLabel* lamp, bool known, bool lit, const QString& tip) {
  lamp->setProperty("lit", known && lit);
  lamp->setEnabled(known);
  lamp->setStyleSheet(QString::fromLatin1(!known ? kUnknown : lit ? kLit : kDark));
  lamp->setToolTip(tip);
}

}  // namespace

void TForm5::BuildLinePanel(int n) {
  LinePanel& panel = Lines[n];
  QFont small = GroupBox[n]->font();
  small.setPixelSize(Px(9));
  for (size_t i = 0; i < panel.Lamp.size(); ++i) {
    QLabel* lamp = new QLabel(Utf8(kLampNames[i]), GroupBox[n]);
    lamp->setAlignment(Qt::AlignCenter);
    lamp->setFont(small);
    panel.Lamp[i] = lamp;
  }
  const auto toggle = [&](const char* caption, bool checkable) {
    auto* button = new QToolButton(GroupBox[n]);
    button->setText(Utf8(caption));
    button->setFont(small);
    button->setAutoRaise(true);
    button->setCheckable(checkable);
    return button;
  };
  panel.Dtr = toggle("DTR", true);
  panel.Rts = toggle("RTS", true);
  panel.Break = toggle("Break", true);
  const auto output = [this, n](QToolButton* button, platform::ModemOutput line) {
    // The button shows what the device reads back, not what the click asked for.
    ConnectClick(button, [this, n, button, line] {
      if (Ports[n]) Ports[n]->SetOutput(line, button->isChecked());
      ShowLines(n);
    });
  };
  output(panel.Dtr, platform::ModemOutput::Dtr);
  output(panel.Rts, platform::ModemOutput::Rts);
  ConnectClick(panel.Break, [this, n] { SendBreak(n); });
  breakTimers_[n] = std::make_unique<platform::ToolkitTimer>(clock_);
  breakTimers_[n]->SetInterval(static_cast<int32_t>(kBreakMs));
  breakTimers_[n]->OnTimer = Guard([this, n] { EndBreak(n); });
}

void TForm5::ShowLines(int N) {
  const LinePanel& panel = Lines[N];
  const platform::ModemLines lines = Ports[N] ? Ports[N]->Lines() : platform::ModemLines{};
  const bool open = Ports[N] && Ports[N]->PortHandle().IsOpen();
  // A closed port has no lines to show and needs no reason.
  const std::string why =
      open && !lines.Known ? "\nHat durumu okunamıyor: " + DescribeLinesUnknown(lines, true) : "";
  const bool in[] = {lines.Cts, lines.Dsr, lines.Dcd, lines.Ri};
  for (size_t i = 0; i < panel.Lamp.size(); ++i) {
    ShowLamp(panel.Lamp[i], lines.Known, in[i], Utf8(kLampTips[i] + why));
  }
  const std::string outWhy = open && !lines.OutputsKnown
                                 ? "\nHat durumu okunamıyor: " + DescribeLinesUnknown(lines, true)
                                 : "";
  for (const auto& [button, on, tip] :
       {std::tuple{panel.Dtr, lines.Dtr, kDtrTip}, std::tuple{panel.Rts, lines.Rts, kRtsTip}}) {
    button->setEnabled(lines.OutputsKnown);
    button->setChecked(lines.OutputsKnown && on);
    button->setToolTip(Utf8(tip + outWhy));
  }
  panel.Break->setEnabled(open);
  panel.Break->setChecked(breakTimers_[N]->Enabled());
  panel.Break->setToolTip(Utf8(kBreakTip));
}

void TForm5::SendBreak(int N) {
  if (!breakTimers_[N]->Enabled() && Ports[N] && Ports[N]->SetBreak(true)) {
    breakTimers_[N]->SetEnabled(true);
  }
  ShowLines(N);
}

void TForm5::EndBreak(int N) {
  if (!breakTimers_[N]->Enabled()) return;
  breakTimers_[N]->SetEnabled(false);
  if (Ports[N]) Ports[N]->SetBreak(false);
  ShowLines(N);
}
