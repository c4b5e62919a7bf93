// LogPane as the user sees and uses it: rows wrapped to the width, following the newest text
// or holding where the user scrolled, selecting and copying, typing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <string>
#include <vector>

#include "test_support.h"
#include "window/line_wrap.h"
#include "window/log_pane.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> Rows(std::string_view line, size_t columns) {
  std::vector<std::string> rows;
  size_t start = 0;
  do {
    const size_t next = NextRowStart(line, start, columns);
    rows.emplace_back(line.substr(start, next - start));
    start = next;
  } while (start < line.size());
  EXPECT_EQ(RowCount(line, columns), rows.size()) << line;
  return rows;
}

TEST(LogPaneViewTest, LongLinesWrapAfterABlankOrAtTheWidth) {
  const struct {
    std::string line;
    size_t columns;
    Lines rows;
  } cases[] = {
      {"", 5, {""}},
      {"abcde", 5, {"abcde"}},
      {"abcdefgh", 5, {"abcde", "fgh"}},                          // no blank: cut at the width
      {"ab cdefg", 5, {"ab ", "cdefg"}},                          // the word goes to the next row
      {"abcde fg", 5, {"abcde ", "fg"}},                          // a blank at the width hangs
      {"abcde   fg", 5, {"abcde   ", "fg"}},                      // so do several
      {"<1>A(65 )<2>B(66 )", 9, {"<1>A(65 ", ")<2>B(66 ", ")"}},  // receive entries
      {"<10>\xC8(200)<11>\xC8(200)", 8, {"<10>\xC8(20", "0)<11>\xC8(", "200)"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Rows(c.line, c.columns), c.rows) << c.line;
}

class ShownPane : public testing::Test {
 protected:
  LogPane pane{nullptr};
  void SetUp() override {
    pane.resize(240, 160);
    pane.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&pane));
  }
  QScrollBar* Bar() { return pane.verticalScrollBar(); }
  void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(&pane, static_cast<Qt::Key>(key), modifiers);
  }
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, pane.viewport()->mapToGlobal(at), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(pane.viewport(), &event);
  }
};

TEST_F(ShownPane, FollowsTheNewTextUnlessTheUserScrolledUp) {
  for (int i = 0; i < 200; ++i) pane.AddLine("line " + std::to_string(i));
  pane.Flush();
  ASSERT_GT(Bar()->maximum(), 0);
  EXPECT_EQ(Bar()->value(), Bar()->maximum());
  EXPECT_TRUE(pane.FollowsNewText());

  // Entries on the last line wrap into more rows; the view keeps the newest in sight.
  const int before = Bar()->maximum();
  for (int i = 0; i < 100; ++i) pane.ExtendLastLine("<1>A(65 )");
  pane.Flush();
  EXPECT_GT(Bar()->maximum(), before);
  EXPECT_EQ(Bar()->value(), Bar()->maximum());

  // Scrolled up to read: new text leaves the view where it is.
  Key(Qt::Key_PageUp);
  const int reading = Bar()->value();
  EXPECT_LT(reading, Bar()->maximum());
  EXPECT_FALSE(pane.FollowsNewText());
  for (int i = 0; i < 50; ++i) pane.AddLine("more");
  pane.Flush();
  EXPECT_EQ(Bar()->value(), reading);

  // Back at the bottom, it follows again; painting does not disturb that.
  Bar()->setValue(Bar()->maximum());
  EXPECT_TRUE(pane.FollowsNewText());
  pane.AddLine("newest");
  const QImage shot = pane.grab().toImage();
  pane.Flush();
  EXPECT_EQ(Bar()->value(), Bar()->maximum());
  EXPECT_FALSE(shot.isNull());
}

TEST_F(ShownPane, SelectingAndCopyingGiveTheTextAsShown) {
  pane.AddLine(Cp("İşlem ğüşöç"));
  pane.AddLine("a\rb");  // a logged carriage return shows as its control picture
  pane.ExtendLastLine("<5>a(97 )");
  const QString all = QString::fromUtf8("İşlem ğüşöç\na\u240Db<5>a(97 )");

  Key(Qt::Key_A, Qt::ControlModifier);
  Key(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), all);

  // Dragging from the top left corner past the last row selects everything.
  Mouse(QEvent::MouseButtonPress, {0, 0}, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {200, 150}, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {200, 150}, Qt::NoButton);
  EXPECT_EQ(pane.SelectedText(), all);

  // Shift and the arrows from the start of the text: the first word.
  Key(Qt::Key_Home, Qt::ControlModifier);
  for (int i = 0; i < 5; ++i) Key(Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(pane.SelectedText(), QString::fromUtf8("İşlem"));
  // Copying leaves the text as it was.
  EXPECT_EQ(pane.Lines(), (Lines{Cp("İşlem ğüşöç"), "a\rb<5>a(97 )"}));
}

TEST_F(ShownPane, TypingEditsTheTextAndReceivedEntriesGoOnAtTheEnd) {
  pane.AddLine("first");
  pane.AddLine("second");
  Key(Qt::Key_Home, Qt::ControlModifier);  // to the start of "first"
  QTest::keyClicks(&pane, "x");
  Key(Qt::Key_End);
  Key(Qt::Key_Return);
  QTest::keyClicks(&pane, "new");
  EXPECT_EQ(pane.Lines(), (Lines{"xfirst", "new", "second"}));

  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);
  Key(Qt::Key_Backspace);  // the break before "new" too
  EXPECT_EQ(pane.Lines(), (Lines{"xfirst", "second"}));
  Key(Qt::Key_Delete);  // the break after "xfirst"
  EXPECT_EQ(pane.Lines(), (Lines{"xfirstsecond"}));

  // A selection is replaced by what is typed, in CP1254.
  Key(Qt::Key_End);
  Key(Qt::Key_Home, Qt::ShiftModifier);
  QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ş"));
  QApplication::sendEvent(&pane, &typed);
  EXPECT_EQ(pane.Lines(), (Lines{Cp("ş")}));

  // The cursor stays where the user typed; received entries extend the last line.
  Key(Qt::Key_Home);
  pane.ExtendLastLine("<7>A(65 )");
  QTest::keyClicks(&pane, "y");
  EXPECT_EQ(pane.SavedText(), Cp("yş<7>A(65 )\r\n"));
}

}  // namespace
