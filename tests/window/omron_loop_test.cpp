#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "expected_texts.h"
#include "platform/time/toolkit_timer.h"
#include "window/results_file.h"
#include "window_rig.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;

const std::string kChoosePort = Cp(expected::kChoosePort);

// Reads the stream as words: a frame is its command text, DLE ENQ is "16,5", a tick mark is
// "."; anything else shows as "?" followed by the byte.
std::vector<std::string> Words(const Bytes& bytes) {
  std::vector<std::string> words;
  for (size_t i = 0; i < bytes.size();) {
    if (bytes[i] == kTickMark) {
      words.push_back(".");
      ++i;
    } else if (i + 1 < bytes.size() && bytes[i] == 0x10 && bytes[i + 1] == 0x05) {
      words.push_back("16,5");
      i += 2;
    } else if (i + 1 < bytes.size() && bytes[i] == 0x10 && bytes[i + 1] == 0x02) {
      std::string text;
      uint8_t check = 0;
      size_t j = i + 2;
      for (; j + 2 < bytes.size() && !(bytes[j] == 0x10 && bytes[j + 1] == 0x03); ++j) {
        text += static_cast<char>(bytes[j]);
        check ^= bytes[j];
      }
      const bool whole = j + 2 < bytes.size() && bytes[j + 2] == (check ^ 0x03);
      words.push_back(whole ? text : text.insert(0, "?frame "));
      i = j + 3;
    } else {
      words.push_back("?");
      words.back() += std::to_string(bytes[i]);
      ++i;
    }
  }
  return words;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

// Each command goes out, "16,5" 500 ms later, the next command 1000 ms after that; 2000 ms
// after "C00" and after "C40". A mark every 500 ms shows the schedule.
const std::string kStart = "C00 . 16,5 . . . .";
const std::string kCycle = "C40 . 16,5 . . . . C61 . 16,5 . . C62 . 16,5 . . C30 . 16,5 . .";
constexpr uint32_t kStartMs = 2500;
constexpr uint32_t kCycleMs = 7000;

std::string Schedule(int cycles) {
  std::string s = kStart;
  for (int i = 0; i < cycles; ++i) s += " " + kCycle;
  return s;
}

class OmronLoop : public SenderTest {
 protected:
  OmronLoop() {
    Open(1);
    ShowTab(form->TabSheetOmron);
    form->Memo[1]->AddLine(Cp("İşlem ğüşöç"));
  }

  // A mark into the stream every 500 ms from now on, and then whatever the test wants done at
  // that mark (marks count from 1).
  void MarkEveryHalfSecond(std::function<void(int)> atMark) {
    marks.SetInterval(500);
    marks.OnTimer = [this, atMark = std::move(atMark)] {
      drained[1]->Mark(kTickMark);
      atMark(++markCount);
    };
    marks.SetEnabled(true);
  }

  std::string Results() const { return dir.ReadFile("OmronResults.txt"); }
  bool ResultsExist() const { return std::filesystem::exists(dir.Path() + "OmronResults.txt"); }

  platform::ToolkitTimer marks{Clock()};
  int markCount = 0;
};

TEST_F(OmronLoop, PressesDuringARunDecideAfterWhichCycleItSavesAndStops) {
  const struct {
    const char* name;
    std::set<int> pressAtMarks;
    int cycles;
  } rows[] = {
      {"stop in the start step", {2}, 0},
      {"stop in the first cycle", {12}, 1},
      {"stop in the last step of the first cycle", {19}, 1},
      {"stop, go on, stop in the second cycle", {12, 13, 26}, 2},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::filesystem::remove(dir.Path() + "OmronResults.txt");
    markCount = 0;
    MarkEveryHalfSecond([&](int mark) {
      if (row.pressAtMarks.count(mark)) form->SpeedButtonLoop->click();
    });
    const uint32_t start = Now();
    form->SpeedButtonLoop->click();
    marks.SetEnabled(false);
    EXPECT_FALSE(form->View().LoopRunning);
    EXPECT_EQ(Joined(Words(Sent(1))), Schedule(row.cycles));
    EXPECT_EQ(Now() - start, kStartMs + kCycleMs * static_cast<uint32_t>(row.cycles));
    EXPECT_EQ(Results(), Cp("İşlem ğüşöç\r\n"));
    EXPECT_EQ(form->SpeedButtonLoop->text(), QString::fromUtf8(expected::kLoop));
  }
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(OmronLoop, ClosingTheWindowEndsTheLoopAtOnceAndSavesTheResults) {
  form->EditInterval->setText(QStringLiteral("0"));
  form->SpeedButton1->click();  // periodic sending on, without ticks
  MarkEveryHalfSecond([&](int mark) {
    if (mark == 12) {
      form->Memo[1]->AddLine(Cp("kapanış"));
      form->close();
    }
  });
  const uint32_t start = Now();
  form->SpeedButtonLoop->click();
  marks.SetEnabled(false);
  EXPECT_EQ(Joined(Words(Sent(1))), kStart + " C40 . 16,5 . . . . C61 . 16,5 .");
  EXPECT_EQ(Now() - start, 12 * 500u);
  EXPECT_FALSE(form->View().LoopRunning);
  EXPECT_FALSE(form->TimerSensor.Enabled());
  EXPECT_EQ(Results(), Cp("İşlem ğüşöç\r\nkapanış\r\n"));
}

TEST_F(OmronLoop, ALoopLeftRunningEndsAfterCycle10001AndSavesEveryHundredCycles) {
  // Cycle 100 ends at the start step plus 100 cycles; look just before and just after.
  const uint32_t start = Now();
  platform::ToolkitTimer probe(Clock());
  int probes = 0;
  probe.OnTimer = [&] {
    if (++probes == 1) {
      EXPECT_FALSE(ResultsExist()) << "saved before cycle 100";
      form->Memo[1]->AddLine(Cp("yüzüncü tur"));
      probe.SetInterval(5000);
    } else {
      EXPECT_EQ(Results(), Cp("İşlem ğüşöç\r\nyüzüncü tur\r\n"));
      form->Memo[1]->AddLine(Cp("son"));
      probe.SetEnabled(false);
    }
  };
  probe.SetInterval(kStartMs + 99 * kCycleMs + 3500);
  probe.SetEnabled(true);

  form->SpeedButtonLoop->click();
  EXPECT_EQ(probes, 2);
  EXPECT_FALSE(form->View().LoopRunning);
  EXPECT_EQ(Now() - start, kStartMs + 10001u * kCycleMs);
  EXPECT_EQ(Results(), Cp("İşlem ğüşöç\r\nyüzüncü tur\r\nson\r\n"));

  std::map<std::string, int> counts;
  for (const std::string& word : Words(Sent(1))) ++counts[word];
  const std::map<std::string, int> expected{{"C00", 1},     {"C40", 10001}, {"C61", 10001},
                                            {"C62", 10001}, {"C30", 10001}, {"16,5", 40005}};
  EXPECT_EQ(counts, expected);
  EXPECT_TRUE(boxes.Messages.empty());
}

TEST_F(OmronLoop, TheResultsHoldEverythingThePaneShowedSinceTheStartThoughThePaneDroppedIt) {
  // In the start step, long before the first save, the pane fills up all but a little, and a
  // flood on port 1 takes it past its bound.
  const std::string filler(4000, 'x');
  std::string expected = Cp("İşlem ğüşöç");
  struct Watch : LogLines::Listener {
    void Added(std::string_view text, bool) override {
      if (text[0] == '<') chars += text.size();
    }
    void Dropping(const std::string&) override { ++dropped; }
    size_t chars = 0, dropped = 0;
  } pane;
  form->Memo[1]->AddListener(&pane);
  std::string entry;
  size_t flooded = 0;
  MarkEveryHalfSecond([&](int mark) {
    if (mark != 1) return;
    for (int n = 0; n < LogPane::kMaxChars / 4001 - 2; ++n) {
      form->Memo[1]->AddLine(filler);
      expected += filler;
    }
    entry = "<" + std::to_string(Now() - form->View().StartTick) + ">A(65 )";
    Flood flood({pty[1].get()}, 'A');
    ASSERT_TRUE(WaitUntil([&] { return pane.dropped > 0; })) << PortState(1);
    flooded = flood.Stop();
    ASSERT_TRUE(WaitUntil([&] { return pane.chars == flooded * entry.size(); })) << PortState(1);
    form->SpeedButtonLoop->click();
  });
  form->SpeedButtonLoop->click();
  marks.SetEnabled(false);
  form->Memo[1]->RemoveListener(&pane);
  for (size_t i = 0; i < flooded; ++i) expected += entry;
  std::string file = Results();
  EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
  std::erase(file, '\r');
  std::erase(file, '\n');
  EXPECT_TRUE(file == expected) << file.size() << " bytes, not " << expected.size();
}

TEST(ResultsFile, HoldsTheLinesDroppedSinceItsStartAheadOfThePanesLinesAtTheSave) {
  // Each step drops a line ("-a") or saves the pane's lines ("a,b").
  const struct {
    const char* name;
    std::vector<std::string> steps;
    std::string file;
  } rows[] = {
      {"saves", {"a,b", "a,b+,c"}, "a\r\nb+\r\nc\r\n"},
      {"dropped before the first save", {"-a", "-b", "c"}, "a\r\nb\r\nc\r\n"},
      {"dropped between saves", {"a,b", "-a", "b+,c"}, "a\r\nb+\r\nc\r\n"},
      {"pane cleared", {"-a", "a,b", ""}, "a\r\n"},
  };
  TempAppDir dir;
  ResultsFile file;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    file.Begin(dir.Path() + "r.txt");
    for (const std::string& step : row.steps) {
      if (step.starts_with("-")) {
        file.Dropped(step.substr(1));
        continue;
      }
      Lines lines;
      for (size_t at = 0; at < step.size();) {
        const size_t comma = std::min(step.find(',', at), step.size());
        lines.push_back(step.substr(at, comma - at));
        at = comma + 1;
      }
      file.Save(lines);
    }
    EXPECT_EQ(dir.ReadFile("r.txt"), row.file);
  }
}

TEST_F(OmronLoop, AResultsFileThatCannotBeWrittenEndsTheLoopWithItsErrorAndFreesTheButton) {
  std::filesystem::create_directory(dir.Path() + "OmronResults.txt");

  // Stopped in the start step: the final save fails.
  MarkEveryHalfSecond([&](int mark) {
    if (mark == 2) form->SpeedButtonLoop->click();
  });
  form->SpeedButtonLoop->click();
  marks.SetEnabled(false);
  const std::string cannotCreate =
      Cp(expected::CannotCreateFile(dir.Path() + "OmronResults.txt", "Bu bir klasör"));
  ASSERT_THAT(boxes.Messages, ElementsAre(cannotCreate));
  EXPECT_FALSE(form->View().LoopRunning);
  EXPECT_EQ(Joined(Words(Sent(1))), Schedule(0));

  // Left running: the save after cycle 100 fails and ends the loop with one report.
  const uint32_t start = Now();
  form->SpeedButtonLoop->click();
  ASSERT_EQ(boxes.Messages.size(), 2u);
  EXPECT_EQ(boxes.Messages[1], cannotCreate);
  EXPECT_FALSE(form->View().LoopRunning);
  EXPECT_EQ(Now() - start, kStartMs + 100 * kCycleMs);
  std::map<std::string, int> counts;
  for (const std::string& word : Words(Sent(1))) ++counts[word];
  EXPECT_EQ(counts["C00"], 1);
  EXPECT_EQ(counts["C30"], 100);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() + "OmronResults.txt"));
}

// Installed, the results go to a folder in the user's documents, made when a loop starts; a
// loop whose folder cannot be made does not start.
TEST_F(OmronLoop, AnInstalledWindowsResultsGoToAFolderMadeWhenALoopStarts) {
  dir.WriteFile("Documents", "");
  files = platform::AppFiles{dir.Path() + "WireLab.ini", dir.Path() + "WireLab.ini", "",
                             dir.Path() + "Documents/WireLab/"};
  MakeWindow();
  Open(1);
  ShowTab(form->TabSheetOmron);
  form->Memo[1]->AddLine(Cp("İşlem ğüşöç"));
  form->SpeedButtonLoop->click();
  ASSERT_THAT(boxes.Messages, ElementsAre(Cp(expected::CannotCreateFolder(
                                  dir.Path() + "Documents/WireLab/", "Bu bir klasör değil"))));
  EXPECT_FALSE(form->View().LoopRunning);
  EXPECT_EQ(Sent(1), Bytes());

  std::filesystem::remove(dir.Path() + "Documents");
  MarkEveryHalfSecond([&](int mark) {
    if (mark == 2) form->SpeedButtonLoop->click();
  });
  form->SpeedButtonLoop->click();
  marks.SetEnabled(false);
  EXPECT_EQ(Joined(Words(Sent(1))), Schedule(0));
  EXPECT_EQ(dir.ReadFile("Documents/WireLab/OmronResults.txt"), Cp("İşlem ğüşöç\r\n"));
  EXPECT_FALSE(ResultsExist());
  EXPECT_EQ(boxes.Messages.size(), 1u);
}

TEST_F(OmronLoop, WithNoPortChosenPressesShowTheBoxAndAnErrorInAStepEndsTheLoopAfterTheFinalSave) {
  form->ComboBox1->setCurrentIndex(-1);

  // The loop goes on once the box is closed; stopped in the start step it asked twice.
  MarkEveryHalfSecond([&](int mark) {
    if (mark == 2) form->SpeedButtonLoop->click();
  });
  form->SpeedButtonLoop->click();
  marks.SetEnabled(false);
  EXPECT_THAT(boxes.Messages, ElementsAre(kChoosePort, kChoosePort));
  EXPECT_EQ(Joined(Words(Sent(1))), ". . . . .");

  // An error that leaves the first press is reported once the results are saved.
  std::filesystem::remove(dir.Path() + "OmronResults.txt");
  boxes.Messages.clear();
  bool raised = false;
  std::string savedWhenReported;
  boxes.OnShow = [&](const std::string&) {
    if (!raised) {
      raised = true;
      throw std::runtime_error("box failed");
    }
    savedWhenReported = Results();
  };
  const uint32_t start = Now();
  form->SpeedButtonLoop->click();
  EXPECT_THAT(boxes.Messages, ElementsAre(kChoosePort, "box failed"));
  EXPECT_EQ(savedWhenReported, Cp("İşlem ğüşöç\r\n"));
  EXPECT_EQ(Now(), start);
  EXPECT_FALSE(form->View().LoopRunning);

  // The next press starts a new loop.
  boxes.OnShow = nullptr;
  Choose(1);
  markCount = 0;
  MarkEveryHalfSecond([&](int mark) {
    if (mark == 2) form->SpeedButtonLoop->click();
  });
  form->SpeedButtonLoop->click();
  EXPECT_EQ(Joined(Words(Sent(1))), Schedule(0));
}

}  // namespace
