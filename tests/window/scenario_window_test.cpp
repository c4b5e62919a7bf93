// Scenarios from a port's device menu while "POS" is in front: a run's terminal answers the
// register on the pty and the "POS" tab's terminal leaves the port alone; the steps and the
// verdict show in the pane and on the port group. A file that does not parse is refused with
// its line, and choosing the item again stops a run. A session is recorded as a scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cash_register_sim.h"
#include "expected_texts.h"
#include "window_rig.h"

namespace {

class ScenarioWindowTest : public PosWindowTest {
 protected:
  void Run(const std::string& name, const std::string& content) {
    dir.WriteFile(name, content);
    form->Scenarios.AskScenarioPath = [this, name](int) { return dir.Path() + name; };
    form->Scenarios.RunMenuChosen(1);
  }
  std::string MarkText() {
    for (QLabel* label : form->GroupBox[1]->findChildren<QLabel*>()) {
      const std::string text = label->text().toStdString();
      if (text.find("Senaryo") != std::string::npos && label->isVisibleTo(form.get())) return text;
    }
    return {};
  }
  bool PaneHas(const std::string& utf8) {
    const Lines lines = form->Memo[1]->Lines();
    return std::find(lines.begin(), lines.end(), Cp(utf8)) != lines.end();
  }
};

TEST_F(ScenarioWindowTest, TheRunsTerminalAnswersAloneAndTheVerdictShows) {
  Run("broken.scn", "terminal\nfault ITEM sometimes\n");
  ASSERT_EQ(boxes.Messages.size(), 1u);
  EXPECT_NE(boxes.Messages[0].find(Cp("satır 2: ")), std::string::npos) << boxes.Messages[0];
  boxes.Messages.clear();
  EXPECT_FALSE(form->Scenarios.Running(1));
  EXPECT_TRUE(reg.Quiet());

  Run("item-nack.scn",
      "terminal\nfault ITEM nack times 1\nexpect 001STTX7|1001 within 30000\n"
      "expect 002ITEM01|8690504|2|250\nexpect 002ITEM01|8690504|2|250 within 5000\n");
  ASSERT_TRUE(form->Scenarios.Running(1));
  EXPECT_EQ(MarkText(), "▶ Senaryo");
  reg.Send("001STTX7|1001");
  EXPECT_EQ(reg.ReadRaw(), reg.Framed(reg.Ack("001")));
  // The "POS" tab's terminal answers nothing and opens no transaction of its own.
  EXPECT_TRUE(reg.Quiet());
  EXPECT_FALSE(PanelShown());
  EXPECT_EQ(form->View().Pos.RxBuffer, "");
  reg.Send("002ITEM01|8690504|2|250");
  EXPECT_EQ(reg.ReadRaw(), reg.Framed(reg.Nack("002")));
  reg.Send("002ITEM01|8690504|2|250");
  EXPECT_EQ(reg.ReadRaw(), reg.Framed(reg.Ack("002")));
  EXPECT_TRUE(reg.Quiet());
  ASSERT_TRUE(WaitUntil([&] { return !form->Scenarios.Running(1); }));
  EXPECT_EQ(MarkText(), "✔ Senaryo geçti");
  EXPECT_TRUE(PaneHas("Senaryo: satır 3: expect 001STTX7|1001 within 30000 geçti (0 ms)"));
  EXPECT_TRUE(PaneHas("Senaryo bitti: geçti"));
  EXPECT_NE(form->GroupBox[1]->toolTip().toStdString().find("Senaryo geçti: " + dir.Path() +
                                                            "item-nack.scn"),
            std::string::npos);

  // Chosen again while it waits, the run stops, failed at the step it was on.
  Run("wait.scn", "terminal\nexpect 001STTX7|1001 within 30000\n");
  ASSERT_TRUE(form->Scenarios.Running(1));
  form->Scenarios.RunMenuChosen(1);
  EXPECT_FALSE(form->Scenarios.Running(1));
  EXPECT_EQ(MarkText(), "✖ Senaryo başarısız");
  EXPECT_TRUE(PaneHas("Senaryo bitti: durduruldu (satır 2)"));
  // The port is the "POS" tab's again.
  reg.Send("001STTX7|1001");
  EXPECT_EQ(reg.ReadRaw(), reg.Framed(reg.Ack("001")));
  EXPECT_TRUE(PanelShown());
}

// "Senaryo olarak kaydet..." writes the register's side of the "POS" tab's dialogue.
TEST_F(ScenarioWindowTest, TheRegistersSideIsRecordedAsAScenario) {
  form->Scenarios.AskRecordingPath = [this](int) { return dir.Path() + "register.scn"; };
  form->Scenarios.RecordMenuChosen(1);
  ASSERT_TRUE(form->Scenarios.Recording(1));
  reg.Send("001STTX7|1001");
  EXPECT_EQ(reg.ReadRaw(), reg.Framed(reg.Ack("001")));
  form->Scenarios.RecordMenuChosen(1);
  EXPECT_FALSE(form->Scenarios.Recording(1));
  const std::string text = dir.ReadFile("register.scn");
  EXPECT_EQ(text.rfind("# Recorded by WireLab on com1 ", 0), 0u) << text;
  EXPECT_NE(text.find("\nsend 001STTX7|1001\nexpect 001001ACK within 1000\n"), std::string::npos)
      << text;
}

}  // namespace
