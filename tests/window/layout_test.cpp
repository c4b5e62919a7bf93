// The window as built: its named controls, the 2 x 2 grid of port groups, and the tabs that
// WireLab.ini shows.
#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QRect>
#include <QScreen>
#include <string>
#include <vector>

#include "expected_texts.h"
#include "platform/text/qt_text.h"
#include "platform/time/toolkit_timer.h"
#include "window_rig.h"

namespace {

std::string Text(const QString& s) {
  return platform::FromQString(s);
}

bool AtDesignDpi() {
  QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr && screen->logicalDotsPerInch() == 96.0;
}

class WindowLayoutTest : public WindowTest {};

TEST_F(WindowLayoutTest, NamedControlsCarryTheirCaptionsAndStartingValues) {
  Create();
  TForm5& f = *form;
  EXPECT_EQ(Text(f.windowTitle()), Cp(expected::kWindowTitle));
  const QWidget* sheets[] = {f.TabSheetASCII, f.TabSheetOmron, f.TabSheetPos, f.TabSheetYazarKasa};
  ASSERT_EQ(f.PageControl1->count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(f.PageControl1->widget(i), sheets[i]);
    EXPECT_EQ(f.PageControl1->tabText(i).toStdString(), expected::kTabCaptions[i]);
  }
  EXPECT_EQ(f.SpeedButton2->text().toStdString(), expected::kSend);
  EXPECT_EQ(f.SpeedButton1->text().toStdString(), expected::kPeriodic);
  EXPECT_EQ(f.EditInterval->text().toStdString(), "800");
  EXPECT_EQ(f.EditSleep->text().toStdString(), "0");
  EXPECT_EQ(f.EditPosNo->text().toStdString(), "001");
  EXPECT_TRUE(f.PanelIslemBilgisi->isHidden());
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(f.GroupBox[n]->title().toStdString(), "com" + std::to_string(n));
    EXPECT_EQ(f.CheckBox[n]->Tag, n);
    EXPECT_EQ(f.Edit[n]->text().toStdString(), "9600,n,8,1");
  }
  EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
  const platform::ToolkitTimer* timers[] = {&f.TimerSensor, &f.Timer1, &f.TimerQueue};
  const int intervals[] = {800, 5000, 1000};
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(timers[i]->Enabled()) << i;
    EXPECT_EQ(timers[i]->Interval(), intervals[i]) << i;
  }
}

TEST_F(WindowLayoutTest, AnEditFieldsRightClickMenuIsTurkish) {
  Create();
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
  QApplication::sendEvent(form->Edit[1], &click);
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  std::vector<std::string> items;
  for (const QAction* action : menu->actions()) {
    if (!action->isSeparator()) items.push_back(action->text().section('\t', 0, 0).toStdString());
  }
  menu->close();
  EXPECT_EQ(items, std::vector<std::string>(std::begin(expected::kFieldMenu),
                                            std::end(expected::kFieldMenu)));
}

TEST_F(WindowLayoutTest, StartTickIsTakenAtCreationFromTheTickCounter) {
  clock.emplace(0xFFFFFF00u);
  Create();
  EXPECT_EQ(form->View().StartTick, 0xFFFFFF00u);
  EXPECT_EQ(form->View().LastRxTick, 0xFFFFFF00u);
}

// The grid of port groups for a Panel2 client size.
void ExpectGrid(TForm5& f, int width, int height) {
  const int w = width / 2;
  const int h = height / 2;
  const QRect expected[5] = {{}, {0, 0, w, h}, {w, 0, w, h}, {0, h, w, h}, {w, h, w, h}};
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(f.GroupBox[n]->geometry(), expected[n])
        << "group " << n << " for Panel2 " << width << " x " << height;
  }
}

TEST_F(WindowLayoutTest, PortGroupsFormATwoByTwoGridAtTheDesignSize) {
  if (!AtDesignDpi()) GTEST_SKIP() << "design pixels hold at 96 dpi only";
  Create();
  form->show();
  ASSERT_TRUE(
      WaitUntil([&] { return form->GroupBox[4]->geometry() == QRect(347, 149, 347, 149); }));
  EXPECT_EQ(form->Panel2->geometry(), QRect(0, 170, 695, 298));
  ExpectGrid(*form, 695, 298);
}

TEST_F(WindowLayoutTest, PortGroupsFollowEveryResizeOfTheWindowAndOfPanel2) {
  Create();
  form->show();
  const struct {
    bool window;  // resize the window, else Panel2 alone
    int width, height;
  } sizes[] = {{true, 800, 601},  {true, 401, 333}, {true, 1001, 1000}, {true, 300, 200},
               {false, 1, 298},   {false, 1, 1},    {false, 0, 0},      {false, 3, 5},
               {false, 695, 297}, {false, 696, 298}};
  for (const auto& size : sizes) {
    if (size.window) {
      form->resize(size.width, size.height);
      ASSERT_TRUE(WaitUntil([&] { return form->size() == QSize(size.width, size.height); }));
      EXPECT_EQ(form->Panel2->geometry().bottom(), size.height - 1);
      EXPECT_EQ(form->Panel2->width(), size.width);
    } else {
      form->Panel2->resize(size.width, size.height);
    }
    ExpectGrid(*form, form->Panel2->width(), form->Panel2->height());
  }
}

struct TabRow {
  const char* name;
  std::string ini;
  const char* visible;  // per tab in row order: 1 shown, 0 hidden
  int active;           // index of the active tab, -1 for none
};

void PrintTo(const TabRow& row, std::ostream* os) {
  *os << row.name;
}

class WindowTabsTest : public WindowTest, public testing::WithParamInterface<TabRow> {};

TEST_P(WindowTabsTest, ConfigurationChoosesTheVisibleTabsAndTheActiveOne) {
  const TabRow& row = GetParam();
  if (row.ini != "<none>") dir.WriteFile("WireLab.ini", row.ini);
  MakeWindow();
  QWidget* sheets[] = {form->TabSheetASCII, form->TabSheetOmron, form->TabSheetPos,
                       form->TabSheetYazarKasa};
  std::string visible;
  for (int i = 0; i < 4; ++i) visible += form->PageControl1->isTabVisible(i) ? '1' : '0';
  EXPECT_EQ(visible, row.visible);
  EXPECT_EQ(form->ActivePage(), row.active < 0 ? nullptr : sheets[row.active]);
  EXPECT_TRUE(boxes.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowTabsTest,
    testing::Values(
        TabRow{"NoFile", "<none>", "1111", 0},
        TabRow{"NoTabsSection", "[Other]\nAscii=0\n", "1111", 0},
        TabRow{"AsciiHidden", "[Tabs]\nAscii=0\n", "0111", 1},
        TabRow{"AsciiAndOmronHidden", "[Tabs]\nAscii=0\nOmron=0\n", "0011", 2},
        TabRow{"OnlyYazarKasaLeft", "[Tabs]\nAscii=0\nOmron=0\nPos=0\n", "0001", 3},
        TabRow{"OnlyAsciiLeft", "[Tabs]\nOmron=0\nPos=0\nYazarKasa=0\n", "1000", 0},
        TabRow{"AsciiAndPos", "[Tabs]\nAscii=1\nOmron=0\nPos=1\nYazarKasa=0\n", "1010", 0},
        TabRow{"PosNegative", "[Tabs]\nPos=-5\n", "1101", 0},
        TabRow{"PosHexPrefix0x", "[Tabs]\nPos=0x10\n", "1111", 0},
        TabRow{"PosHexDollar", "[Tabs]\nPos=$A\n", "1111", 0},
        TabRow{"PosHexAllBitsIsMinusOne", "[Tabs]\nPos=$FFFFFFFF\n", "1101", 0},
        TabRow{"PosNotANumber", "[Tabs]\nPos=abc\n", "1111", 0},
        TabRow{"PosEmpty", "[Tabs]\nPos=\n", "1111", 0},
        TabRow{"PosTrailingText", "[Tabs]\nPos=0 tabs\n", "1111", 0},
        TabRow{"SectionInCapitals", "[TABS]\nASCII=0\n", "0111", 1},
        TabRow{"KeyInSmallLetters", "[tabs]\nyazarkasa=0\n", "1110", 0},
        TabRow{"AllHidden", "[Tabs]\nAscii=0\nOmron=0\nPos=0\nYazarKasa=0\n", "0000", -1}),
    [](const testing::TestParamInfo<TabRow>& row) { return std::string(row.param.name); });

}  // namespace
