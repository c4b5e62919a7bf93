// The modem lines on the port groups, on pseudo-terminals given lines by the line shim, which
// this test binary links: it serves the pty it is attached to and passes every other call on.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <QAction>
#include <QMenu>

#include "line_shim.h"
#include "window_rig.h"

namespace {

struct Attached {
  explicit Attached(LineShimState& state) { wirelab_line_shim_attach(&state); }
  ~Attached() { wirelab_line_shim_attach(nullptr); }
};

class ModemLinesTest : public WindowTest {
 protected:
  std::string Tip(QWidget* w) { return w->toolTip().toStdString(); }
  bool Lit(int n, int lamp) { return form->Lines[n].Lamp[lamp]->property("lit").toBool(); }
};

TEST_F(ModemLinesTest, LampsAndTogglesFollowTheLineBreakIsTimedAndUnknownLinesAreGreyed) {
  clock.emplace();
  Create();
  LineShim shim(pty[1]->SlavePath());
  LineShimState& line = shim.State();
  line.inputs = TIOCM_CTS;
  line.outputs = TIOCM_DTR;
  Attached attached(line);
  const TForm5::LinePanel& one = form->Lines[1];

  // The inputs as the line has them, the outputs as the device reads them back.
  Open(1, "9600,n,8,1,p");
  ASSERT_TRUE(WaitUntil([&] { return Lit(1, 0); }));
  for (int lamp = 1; lamp < 4; ++lamp) {
    EXPECT_TRUE(one.Lamp[lamp]->isEnabled());
    EXPECT_FALSE(Lit(1, lamp)) << lamp;
  }
  EXPECT_EQ(Tip(one.Lamp[0]), "CTS (gönderime hazır)");
  EXPECT_TRUE(one.Dtr->isChecked());
  EXPECT_FALSE(one.Rts->isChecked());
  line.inputs = TIOCM_CTS | TIOCM_DSR | TIOCM_RNG;
  EXPECT_TRUE(WaitUntil([&] { return Lit(1, 1) && Lit(1, 3); }));
  EXPECT_FALSE(Lit(1, 2));
  one.Rts->click();
  one.Dtr->click();
  EXPECT_EQ(line.outputs.load(), static_cast<uint32_t>(TIOCM_RTS));
  EXPECT_TRUE(one.Rts->isChecked());
  EXPECT_FALSE(one.Dtr->isChecked());

  // The fifth field's flow control reaches the line and the tooltip.
  termios t{};
  ASSERT_EQ(tcgetattr(pty[1]->SlaveFd(), &t), 0);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(Tip(form->CheckBox[1]).find("Akış kontrolü: donanım (RTS/CTS)"), std::string::npos);

  // A break lasts kBreakMs of the window's clock.
  one.Break->click();
  EXPECT_EQ(line.breaks.load(), 1u);
  EXPECT_EQ(line.breakOn.load(), 1u);
  clock->Advance(TForm5::kBreakMs - 1);
  EXPECT_EQ(line.breakOn.load(), 1u);
  clock->Advance(1);
  EXPECT_EQ(line.breakOn.load(), 0u);
  EXPECT_FALSE(one.Break->isChecked());

  // A device without lines greys them and says why; nothing is guessed.
  Open(2);
  const TForm5::LinePanel& two = form->Lines[2];
  ASSERT_TRUE(WaitUntil([&] { return Tip(two.Lamp[0]).find("okunamıyor") != std::string::npos; }));
  for (QWidget* w : {static_cast<QWidget*>(two.Lamp[3]), static_cast<QWidget*>(two.Dtr)}) {
    EXPECT_FALSE(w->isEnabled());
  }
  EXPECT_EQ(Tip(two.Lamp[3]),
            "RI (zil)\nHat durumu okunamıyor: bu cihazın modem hatları yok (sözde terminal ya da "
            "ağ portu)");
  EXPECT_FALSE(one.Lamp[0]->isHidden());

  // A rate the driver rounds away refuses the port, naming it.
  line.roundAbove = 115200;
  Click(1);
  Open(1, "250000,n,8,1");
  EXPECT_NE(Tip(form->CheckBox[1])
                .find("ayarlar kabul edilmedi: \"250000,n,8,1\": baud hızı 250000 bu cihazda yok "
                      "(cihaz 115200 baud'da kaldı)"),
            std::string::npos)
      << Tip(form->CheckBox[1]);
  EXPECT_FALSE(one.Lamp[0]->isEnabled());
  Click(1);

  // The pane's codes in hex: chosen per port in its menu, recorded as shown, kept as default.
  QMenu menu;
  form->AddPaneMenuItems(2, &menu);
  ASSERT_EQ(menu.actions().size(), 1);
  EXPECT_EQ(menu.actions()[0]->text().toStdString(), "Kodları onaltılık göster (x41)");
  menu.actions()[0]->trigger();
  form->Recordings.AskCapturePath = [&](int, const std::string&) { return dir.Path() + "2.txt"; };
  form->Recordings.CaptureMenuChosen(2);
  pty[2]->Write("A");
  EXPECT_TRUE(WaitForInLastLine(2, ">A(x41)"));
  form->Recordings.CaptureMenuChosen(2);
  EXPECT_NE(dir.ReadFile("2.txt").find(">A(x41)"), std::string::npos) << dir.ReadFile("2.txt");
  form->SavePortDefault(2);
  Click(2);
  EXPECT_NE(dir.ReadFile("WireLab.ini").find("Com2Hex=1"), std::string::npos);
  MakeWindow();
  EXPECT_TRUE(form->PaneHex(2));
  EXPECT_FALSE(form->PaneHex(1));
}

}  // namespace
