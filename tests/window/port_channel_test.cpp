// Port channels: ticking "Open" lists the port in the selector and opens it, un-ticking closes
// it; the failed channel; closing the window with ports that are still receiving.
#include "expected_texts.h"
#include "platform/devices/serial_device.h"
#include "window_rig.h"

namespace {

using Items = std::vector<std::string>;

class PortChannelTest : public WindowTest {};

TEST_F(PortChannelTest, SelectorListsOpenPortsInOrderAndSelectsAsTheClicksSay) {
  Create();
  const struct {
    int click;
    Items items;
    std::string selected;
  } steps[] = {
      {1, {"Com1"}, "Com1"},
      {4, {"Com1", "Com4"}, "Com4"},
      {3, {"Com1", "Com3", "Com4"}, "Com3"},
      {4, {"Com1", "Com3"}, "Com1"},  // the selected port closes: the first one left
      {2, {"Com1", "Com2", "Com3"}, "Com2"},
      {3, {"Com1", "Com2"}, "Com1"},  // another port closes: the first one again
      {1, {"Com2"}, "Com2"},
      {2, {}, ""},
  };
  bool open[5] = {};
  for (const auto& step : steps) {
    Click(step.click);
    open[step.click] = !open[step.click];
    EXPECT_EQ(SelectorItems(), step.items) << "after clicking " << step.click;
    EXPECT_EQ(Selected(), step.selected) << "after clicking " << step.click;
    for (int n = 1; n <= 4; ++n) {
      EXPECT_EQ(form->CheckBox[n]->isChecked(), open[n]) << n;
      EXPECT_EQ(Port(n) != nullptr, open[n]) << n;
    }
  }
  EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
  EXPECT_TRUE(boxes.Messages.empty());

  // Nothing is selected any more: Send asks for a port and sends nothing.
  form->EditASCII->setText("065");
  PressSend();
  EXPECT_EQ(boxes.Messages, Items{Cp(expected::kChoosePort)});
  for (int n = 1; n <= 4; ++n) EXPECT_TRUE(pty[n]->ReadAvailable().empty()) << n;
}

TEST_F(PortChannelTest, ClosedPortIsGivenBackAndReopens) {
  Create();
  Click(2);
  // While the window holds it, nobody else gets the device.
  const platform::PortHandle held = platform::OpenExclusive(pty[2]->SlavePath());
  EXPECT_FALSE(held.IsOpen());
  platform::Close(held);
  Click(2);
  const platform::PortHandle free = platform::OpenExclusive(pty[2]->SlavePath());
  EXPECT_TRUE(free.IsOpen());
  platform::Close(free);

  Click(2);
  pty[2]->Write("Z");
  EXPECT_TRUE(WaitForInLastLine(2, ">Z(90 )"));
}

TEST_F(PortChannelTest, SettingsThatDoNotConvertLeaveAFailedChannel) {
  Create();
  form->Edit[2]->setText("9600");
  Click(2);
  EXPECT_EQ(boxes.Messages, Items{expected::NotAnInteger("")});
  EXPECT_EQ(SelectorItems(), Items{"Com2"});
  EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
  EXPECT_TRUE(form->CheckBox[2]->isChecked());
  EXPECT_EQ(Port(2), nullptr);
  // The device was given back when the error came.
  const platform::PortHandle free = platform::OpenExclusive(pty[2]->SlavePath());
  EXPECT_TRUE(free.IsOpen());
  platform::Close(free);

  // Chosen by hand, the failed channel takes a send without a byte going out.
  boxes.Messages.clear();
  form->ComboBox1->setCurrentIndex(0);
  const std::vector<QWidget*> sheets = {form->TabSheetASCII, form->TabSheetOmron, form->TabSheetPos,
                                        form->TabSheetYazarKasa};
  for (QWidget* sheet : sheets) {
    form->PageControl1->setCurrentWidget(sheet);
    form->EditASCII->setText("065066");
    form->EditOmron->setText("C00");
    form->EditSendCommand->setText("abc");
    form->EditYazarKasa->setText("abc");
    PressSend();
  }
  EXPECT_TRUE(boxes.Messages.empty());
  EXPECT_TRUE(pty[2]->ReadAvailable().empty());
  EXPECT_TRUE(form->Memo[2]->Lines().empty());

  // Un-ticking removes the item and finds nothing to close.
  Click(2);
  EXPECT_TRUE(SelectorItems().empty());
  EXPECT_FALSE(form->CheckBox[2]->isChecked());
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(PortChannelTest, FailedChannelLeavesTheCurrentSelectionAndTheWindowGoesOn) {
  Create();
  Click(3);
  form->Edit[1]->setText("9600");
  Click(1);
  EXPECT_EQ(boxes.Messages, Items{expected::NotAnInteger("")});
  EXPECT_EQ(SelectorItems(), (Items{"Com1", "Com3"}));
  EXPECT_EQ(Selected(), "Com3");

  // The error left only its own handler: the open port still receives and sends.
  pty[3]->Write("A");
  EXPECT_TRUE(WaitForInLastLine(3, ">A(65 )"));
  form->EditASCII->setText("066");
  PressSend();
  EXPECT_EQ(pty[3]->ReadExactly(1), Bytes{66});
  EXPECT_EQ(boxes.Messages.size(), 1u);
}

TEST_F(PortChannelTest, PortWhoseDeviceIsMissingOpensSilently) {
  Create("", "Com2=/dev/wirelab-no-such-device\n");
  Click(2);
  EXPECT_TRUE(boxes.Messages.empty());
  ASSERT_NE(Port(2), nullptr);
  EXPECT_TRUE(Port(2)->PortHandle().IsInvalid());
  EXPECT_EQ(Selected(), "Com2");
  form->EditASCII->setText("065066");
  PressSend();
  EXPECT_TRUE(boxes.Messages.empty());
  Click(2);
  EXPECT_EQ(Port(2), nullptr);
  EXPECT_TRUE(SelectorItems().empty());
}

TEST_F(PortChannelTest, ClosingTheWindowWhileBytesPourInEndsAndGivesThePortsBack) {
  Create();
  Click(1);
  Click(3);
  Flood flood({pty[1].get(), pty[3].get()}, 'x');
  ASSERT_TRUE(WaitUntil([&] { return PaneChars(1) > 1000 && PaneChars(3) > 1000; }))
      << PortState(1) << "; " << PortState(3);
  form.reset();

  for (int n : {1, 3}) {
    const platform::PortHandle again = platform::OpenExclusive(pty[n]->SlavePath());
    EXPECT_TRUE(again.IsOpen()) << n;
    platform::Close(again);
  }
  EXPECT_TRUE(boxes.Messages.empty());
}

}  // namespace
