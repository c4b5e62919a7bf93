// Recording a port's pane to a file: everything from the start on, past the pane's bound; no
// file overwritten; a file that cannot be made or written leaves the pane and the port going;
// a signal to end leaves the file complete.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "expected_texts.h"
#include "window_rig.h"

namespace {

// The largest file the disk takes (a FAT32 stick's 4 GiB; here the process's own limit).
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{bytes, old.rlim_max};
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_DFL);
  }
  rlimit old{};
};

class CaptureTest : public WindowTest {
 protected:
  CaptureTest() { Create(); }
  std::string Tip(int n) { return form->GroupBox[n]->toolTip().toStdString(); }
};

TEST_F(CaptureTest, TheFileHoldsEveryLineFromItsStartThoughThePaneDroppedIt) {
  form->Memo[1]->AddLine("before");
  dir.WriteFile("run.txt", "kept");
  form->Recordings.AskCapturePath = [&](int, const std::string&) { return dir.Path() + "run.txt"; };
  form->Recordings.CaptureMenuChosen(1);
  ASSERT_TRUE(form->Recordings.Capturing(1));
  EXPECT_NE(Tip(1).find(dir.Path() + "run-2.txt"), std::string::npos) << Tip(1);
  EXPECT_TRUE(form->CaptureMark[1]->isVisibleTo(form.get()));
  std::string expected = "+";
  form->Memo[1]->ExtendLastLine("+");
  for (int n = 0; n < LogPane::kMaxChars / 4000 + 10; ++n) {
    const std::string line = std::to_string(n) + std::string(3990, 'y');
    form->Memo[1]->AddLine(line);
    expected += "\r\n" + line;
  }
  ASSERT_NE(form->Memo[1]->Lines().front(), "before+");  // the pane did drop lines
  form->Recordings.CaptureMenuChosen(1);
  EXPECT_FALSE(form->Recordings.Capturing(1));
  EXPECT_TRUE(dir.ReadFile("run-2.txt") == expected + "\r\n");
  EXPECT_EQ(dir.ReadFile("run.txt"), "kept");
}

// A recording whose file cannot be made, or that the disk stops taking, ends with its reason;
// the pane and the port go on, and no box shows.
TEST_F(CaptureTest, AFileThatCannotBeMadeOrWrittenStopsOnlyTheRecording) {
  dir.WriteFile("file", "");
  form->Recordings.CaptureOnOpen(dir.Path() + "file");
  Open(1);
  EXPECT_FALSE(form->Recordings.Capturing(1));
  const std::string reason = "Yoldaki bir ad klasör değil";  // a file where a folder should be
  EXPECT_NE(Tip(1).find(expected::kRecordingStopped + reason), std::string::npos) << Tip(1);
  EXPECT_TRUE(form->CaptureMark[1]->isVisibleTo(form.get()));
  ASSERT_EQ(write(pty[1]->MasterFd(), "A", 1), 1);
  EXPECT_TRUE(WaitForInLastLine(1, "A(65 )"));

  // Its folder deleted meanwhile (rm -rf): writes would still succeed, into nothing.
  std::filesystem::create_directory(dir.Path() + "gone");
  form->Recordings.AskCapturePath = [&](int, const std::string&) {
    return dir.Path() + "gone/run.txt";
  };
  form->Recordings.CaptureMenuChosen(1);
  ASSERT_TRUE(form->Recordings.Capturing(1));
  std::filesystem::remove_all(dir.Path() + "gone");
  form->Memo[1]->AddLine("after");
  EXPECT_TRUE(WaitUntil([&] { return !form->Recordings.Capturing(1); }));
  EXPECT_NE(Tip(1).find(expected::kRecordingStopped + std::string("Dosya ya da klasörü silindi")),
            std::string::npos)
      << Tip(1);

  // The file reaches the largest size the disk takes while the recording goes on.
  FileSizeLimit limit(64 * 1024);
  form->Recordings.AskCapturePath = [&](int, const std::string&) { return dir.Path() + "big.txt"; };
  form->Recordings.CaptureMenuChosen(1);
  ASSERT_TRUE(form->Recordings.Capturing(1));
  for (int n = 0; n < 100; ++n) form->Memo[1]->AddLine(std::string(4000, 'y'));
  EXPECT_TRUE(WaitUntil([&] { return !form->Recordings.Capturing(1); }));
  EXPECT_NE(
      Tip(1).find(expected::kRecordingStopped + std::string("Dosya bu disk için fazla büyük")),
      std::string::npos)
      << Tip(1);
  EXPECT_EQ(form->CaptureMark[1]->text().toStdString(), "⚠ Kayıt durdu");
  ASSERT_EQ(write(pty[1]->MasterFd(), "B", 1), 1);
  EXPECT_TRUE(WaitForInLastLine(1, "B(66 )"));

  // A short recording whose one write comes as it ends, and fails, shows that it stopped.
  form->Recordings.AskCapturePath = [&](int, const std::string&) {
    return dir.Path() + "short.txt";
  };
  form->Recordings.CaptureMenuChosen(1);
  ASSERT_TRUE(form->Recordings.Capturing(1));
  form->Memo[1]->AddLine(std::string(100 * 1024, 'z'));  // collected, not yet handed over
  form->Recordings.CaptureMenuChosen(1);
  EXPECT_FALSE(form->Recordings.Capturing(1));
  EXPECT_TRUE(form->CaptureMark[1]->isVisibleTo(form.get()));
  EXPECT_NE(
      Tip(1).find(expected::kRecordingStopped + std::string("Dosya bu disk için fazla büyük") +
                  "\n" + dir.Path() + "short.txt"),
      std::string::npos)
      << Tip(1);
  EXPECT_TRUE(boxes.Messages.empty());
}

// A recording whose last writes fail as the window ends can show no mark any more: it is
// named on stderr and the program ends with an error.
TEST(CaptureEnding, ARecordingLeftIncompleteAtTheEndIsAnError) {
  WindowRig rig;
  rig.Create();
  rig.form->Recordings.AskCapturePath = [&](int, const std::string&) {
    return rig.dir.Path() + "last.txt";
  };
  rig.form->Recordings.CaptureMenuChosen(1);
  ASSERT_TRUE(rig.form->Recordings.Capturing(1));
  FileSizeLimit limit(0);
  rig.form->Memo[1]->AddLine("lost");
  rig.form.reset();
  EXPECT_EQ(rig.boxes.EndCode(), 1);
}

TEST(CaptureEnding, ASignalEndsTheRecordingWithEveryEntryThePaneGotInTheFile) {
  WindowRig rig;
  rig.clock.emplace();  // held still: every entry reads the same
  rig.Create();
  const std::string folder = rig.dir.Path() + "tonight/logs";  // made at the tick
  rig.form->Recordings.CaptureOnOpen(folder);
  rig.Open(1);
  ASSERT_TRUE(rig.form->Recordings.Capturing(1));
  struct Watch : LogLines::Listener {
    void Added(std::string_view text, bool) override { chars += text.size(); }
    void Dropping(const std::string&) override {}
    size_t chars = 0;
  } pane;
  rig.form->Memo[1]->AddListener(&pane);
  const std::string entry =
      "<" + std::to_string(rig.Now() - rig.form->View().StartTick) + ">A(65 )";
  Flood flood({rig.pty[1].get()}, 'A');
  {
    rig.form->show();
    QuitSignals quitSignals(rig.form.get(), rig.boxes);
    ASSERT_TRUE(WaitUntil([&] { return pane.chars > 100 * entry.size(); })) << rig.PortState(1);
    raise(SIGTERM);
    ASSERT_TRUE(WaitUntil([&] { return !rig.form->isVisible(); }));
    rig.form.reset();  // the port closes with the window while the far end still sends
  }
  flood.Stop();
  std::string file;
  for (const auto& f : std::filesystem::directory_iterator(folder)) {
    const std::string name = f.path().filename().string();
    if (name.starts_with("com1-")) file = rig.dir.ReadFile("tonight/logs/" + name);
  }
  ASSERT_TRUE(file.ends_with("\r\n"));
  std::erase(file, '\r');
  std::erase(file, '\n');
  std::string expected;
  while (expected.size() < pane.chars) expected += entry;
  EXPECT_TRUE(file == expected) << file.size() << " bytes, not " << pane.chars;
}

}  // namespace
