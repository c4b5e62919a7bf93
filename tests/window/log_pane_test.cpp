// LogPane: lines added and extended, the bounds on a line and on the whole pane, the last line
// that holds text, and the saved text.
#include "window/log_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "serial/receive_entry.h"
#include "test_support.h"

namespace {

using Lines = std::vector<std::string>;

// Types text into the pane as the user does, "\n" pressing Enter.
void Type(LogPane& pane, const QString& text) {
  for (QChar c : text) {
    if (c == u'\n') {
      QTest::keyClick(&pane, Qt::Key_Return);
    } else {
      QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(&pane, &key);
    }
  }
}

size_t Characters(const Lines& lines) {
  size_t n = 0;
  for (const std::string& line : lines) n += line.size() + 1;  // each line with its break
  return n;
}

std::string Joined(const Lines& lines) {
  std::string all;
  for (const std::string& line : lines) all += line;
  return all;
}

TEST(LogPaneTest, EntriesExtendTheLastLineThatHoldsText) {
  const struct {
    const char* name;
    QString before;  // the pane's text, as typed
    Lines after;     // after the entry E
  } rows[] = {
      {"empty pane", "", {"E"}},
      {"one line", "abc", {"abcE"}},
      {"final break", "first\nsecond\n", {"first", "secondE"}},
      {"only a break", "\n", {"E"}},
      {"empty line before the final break", "a\n\n", {"a", "E"}},
  };
  for (const auto& row : rows) {
    LogPane pane(nullptr);
    Type(pane, row.before);
    pane.ExtendLastLine("E");
    EXPECT_EQ(pane.Lines(), row.after) << row.name;
    EXPECT_EQ(pane.LastLine(), row.after.back()) << row.name;
  }
}

TEST(LogPaneTest, AddedLinesAndEntriesKeepTheirOrder) {
  LogPane pane(nullptr);
  pane.ExtendLastLine("a");
  pane.ExtendLastLine("b");
  pane.AddLine("L1");
  pane.ExtendLastLine("c");
  pane.AddLine("L2");
  pane.AddLine("L3");
  pane.ExtendLastLine("d");
  pane.ExtendLastLine("e");
  EXPECT_EQ(pane.Lines(), (Lines{"ab", "L1c", "L2", "L3de"}));
  EXPECT_EQ(pane.LineCount(), 4);
}

// Entries of one length fed into a pane, flushed every flushEvery entries (0: only at the
// end), after an optional first line.
struct LineBoundRow {
  const char* name;
  size_t entryLength;
  int entries;
  int flushEvery;
  size_t firstLine;  // length of a line added before the entries; 0 for none
  bool finalBreak;   // that line followed by a line break, as when the user pressed Enter
  bool userTypes;    // the user types at the top of the pane while entries wait
};

void PrintTo(const LineBoundRow& row, std::ostream* os) {
  *os << row.name;
}

class LogPaneLineBound : public testing::TestWithParam<LineBoundRow> {};

TEST_P(LogPaneLineBound, AnEntryThatWouldPassTheBoundStartsANewLine) {
  const LineBoundRow& row = GetParam();
  LogPane pane(nullptr);
  std::string first(row.firstLine, 'f');
  if (row.firstLine > 0) Type(pane, QString::fromStdString(first + (row.finalBreak ? "\n" : "")));

  std::vector<std::string> entries;
  for (int i = 0; i < row.entries; ++i) {
    std::string entry(row.entryLength, static_cast<char>('a' + i % 26));
    entries.push_back(entry);
    pane.ExtendLastLine(entry);
    if (row.userTypes && i == 200) {
      QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
      Type(pane, "typed ");
      first = "typed " + first;
    }
    if (row.flushEvery > 0 && (i + 1) % row.flushEvery == 0) pane.Flush();
  }
  const Lines lines = pane.Lines();
  ASSERT_FALSE(lines.empty());

  // Nothing lost, nothing doubled: the lines read back the first line and the entries.
  std::string all = first;
  for (const std::string& e : entries) all += e;
  EXPECT_EQ(Joined(lines), all);

  // No line passes the bound, and each break stands where the next entry would have.
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_LE(lines[i].size(), static_cast<size_t>(LogPane::kMaxLineChars)) << "line " << i;
    if (i + 1 < lines.size()) {
      EXPECT_GT(lines[i].size() + row.entryLength, static_cast<size_t>(LogPane::kMaxLineChars))
          << "line " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LogPaneLineBound,
    testing::Values(LineBoundRow{"FlushedOnlyAtTheEnd", 13, 2000, 0, 0, false, false},
                    LineBoundRow{"FlushedAfterEveryEntry", 13, 700, 1, 0, false, false},
                    LineBoundRow{"FlushedNowAndThen", 17, 1500, 97, 0, false, false},
                    LineBoundRow{"EntriesThatFillTheLineExactly", 16, 600, 5, 0, false, false},
                    LineBoundRow{"AfterAnAlmostFullLine", 13, 10, 1, 4090, false, false},
                    LineBoundRow{"AfterAnAlmostFullLineAndABreak", 13, 10, 0, 4090, true, false},
                    LineBoundRow{"AfterAFullLineAndABreak", 5, 3, 0, 4096, true, false},
                    LineBoundRow{"UserTypesWhileEntriesWait", 13, 700, 0, 0, false, true},
                    LineBoundRow{"UserTypesAfterAFlush", 13, 700, 1, 0, false, true}),
    [](const testing::TestParamInfo<LineBoundRow>& row) { return std::string(row.param.name); });

TEST(LogPaneTest, PaneKeepsItsNewestTextWithinItsBound) {
  LogPane pane(nullptr);
  // Numbered lines, each extended by receive entries over several bounded lines, until more
  // than kMaxChars went in. The model breaks lines where the line bound does.
  Lines added;
  size_t fed = 0;
  uint32_t ms = 0;
  for (int n = 0; fed <= static_cast<size_t>(LogPane::kMaxChars) + 100000; ++n) {
    added.push_back(std::string("L").append(std::to_string(n)));
    pane.AddLine(added.back());
    fed += added.back().size() + 1;
    for (int k = 0; k < 1000; ++k) {
      const std::string entry = ReceiveEntry(ms++, static_cast<uint8_t>(32 + k % 200));
      pane.ExtendLastLine(entry);
      if (added.back().size() + entry.size() > static_cast<size_t>(LogPane::kMaxLineChars)) {
        added.emplace_back();
        ++fed;
      }
      added.back() += entry;
      fed += entry.size();
    }
  }
  const Lines kept = pane.Lines();
  ASSERT_FALSE(kept.empty());
  EXPECT_GE(Characters(kept), static_cast<size_t>(LogPane::kKeepChars));
  EXPECT_LE(Characters(kept), static_cast<size_t>(LogPane::kMaxChars));
  EXPECT_EQ(pane.LastLine(), added.back());
  // What stays is the newest whole lines, untouched.
  ASSERT_LE(kept.size(), added.size());
  EXPECT_TRUE(std::equal(kept.begin(), kept.end(), added.end() - static_cast<long>(kept.size())));
}

TEST(LogPaneTest, SavedTextIsEveryLineInCp1254EndedByCrLf) {
  LogPane pane(nullptr);
  Lines lines = {Cp("İşlem No: ğüşöçı ĞÜŞÖÇ"), Cp("Gönderilen bilgi: 001005ACKH")};
  for (int from = 32; from < 256; from += 32) {
    std::string chunk;
    for (int b = from; b < from + 32; ++b) chunk += static_cast<char>(b);
    lines.push_back(chunk);
  }
  for (const std::string& line : lines) pane.AddLine(line);
  // Control bytes arrive as entries with the middle dot.
  pane.ExtendLastLine(ReceiveEntry(12, 13));
  lines.back() += "<12>\xB7(13 )";

  std::string expected;
  for (const std::string& line : lines) expected += line + "\r\n";
  EXPECT_EQ(pane.SavedText(), expected);
  EXPECT_EQ(pane.Lines(), lines);
}

TEST(LogPaneTest, EmptyPaneSavesNothing) {
  LogPane pane(nullptr);
  EXPECT_EQ(pane.SavedText(), "");
  EXPECT_TRUE(pane.Lines().empty());
  EXPECT_EQ(pane.LastLine(), "");
}

TEST(LogPaneTest, ALoggedTextWithLineBreakBytesStaysOneLineAndReadsBackUnchanged) {
  LogPane pane(nullptr);
  // A register that ends its packets with CR LF leaves the LF at the head of the next packet,
  // and the packet is logged as received.
  pane.AddLine("\n001STTX12|34E");
  pane.AddLine("a\rb");
  pane.ExtendLastLine("c");
  EXPECT_EQ(pane.Lines(), (Lines{"\n001STTX12|34E", "a\rbc"}));
  EXPECT_EQ(pane.SavedText(), "\n001STTX12|34E\r\na\rbc\r\n");
}

TEST(LogPaneTest, AnAddedEmptyLineIsALineOfItsOwn) {
  LogPane pane(nullptr);
  pane.AddLine("a");
  pane.AddLine("");
  EXPECT_EQ(pane.Lines(), (Lines{"a", ""}));
  pane.AddLine("b");
  EXPECT_EQ(pane.Lines(), (Lines{"a", "", "b"}));
  pane.AddLine("");
  pane.ExtendLastLine("x");  // the empty line is the last line, and it takes the entry
  EXPECT_EQ(pane.Lines(), (Lines{"a", "", "b", "x"}));
  // A line break typed at the end is no line: the next line goes where it left off.
  LogPane typed(nullptr);
  Type(typed, "abc\n");
  typed.AddLine("y");
  EXPECT_EQ(typed.Lines(), (Lines{"abc", "y"}));
}

}  // namespace
