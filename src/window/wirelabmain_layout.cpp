// The window's controls: their making, at the design's places and sizes scaled to the screen,
// and their layout as the window and its bands are resized.
#include <QFont>
#include <QPalette>
#include <QResizeEvent>
#include <cmath>

#include "window/byte_code_field.h"
#include "window/field_menu.h"
#include "window/window_text.h"
#include "window/wirelabmain.h"

namespace {

// The tab sheet's client width at the design size; controls anchored to the right edge keep
// their distance to it.
constexpr int kDesignSheetWidth = 685;

}  // namespace

int TForm5::Px(int designPixels) const {
  return static_cast<int>(std::lround(designPixels * scale_));
}

void TForm5::BuildControls() {
  setWindowTitle(Utf8("RS232 Emülatör"));
  // Where Tahoma and Courier New are not installed, the fonts nearest in width stand in.
  QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"),
                                                             QStringLiteral("DejaVu Sans Mono")});
  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(Px(11));
  setFont(font);
  setAutoFillBackground(true);
  setPalette(QPalette(palette().color(QPalette::Button)));
  move(300, 191);
  resize(Px(695), Px(468));

  BuildBands();
  BuildAsciiSheet();
  BuildOmronSheet();
  BuildPosSheet();
  BuildYazarKasaSheet();
  for (int n = 1; n <= 4; ++n) BuildPortGroup(n);

  // Labels size themselves to their text, as their design sizes were made by the text.
  for (QLabel* label : findChildren<QLabel*>()) label->adjustSize();
  UseTurkishFieldMenus(this);
  LayoutBands();
}

void TForm5::BuildBands() {
  Panel1 = new TPanel(this);
  PageControl1 = new QTabWidget(Panel1);
  Panel4 = new TPanel(this);
  Panel3 = new TPanel(this);
  Panel2 = new TPanel(this);
  Panel1->OnResize = Guard([this] {
    PageControl1->setGeometry(1, 1, std::max(0, Panel1->width() - 2),
                              std::max(0, Panel1->height() - 2));
  });
  Panel2->OnResize = Guard([this] { Panel2Resize(); });

  TabSheetASCII = new TPanel(nullptr);
  TabSheetOmron = new TPanel(nullptr);
  TabSheetPos = new TPanel(nullptr);
  TabSheetYazarKasa = new TPanel(nullptr);
  PageControl1->addTab(TabSheetASCII, Utf8("ASCII"));
  PageControl1->addTab(TabSheetOmron, Utf8("Omron Strings"));
  PageControl1->addTab(TabSheetPos, Utf8("POS"));
  PageControl1->addTab(TabSheetYazarKasa, Utf8("Yazar Kasa"));
  PageControl1->setCurrentWidget(TabSheetASCII);
  for (TPanel* sheet : {TabSheetASCII, TabSheetOmron, TabSheetPos, TabSheetYazarKasa}) {
    sheet->OnResize = Guard([this, sheet] { LayoutSheet(sheet); });
  }

  SpeedButton2 = FlatButton(Panel4, "Send", 8, 3, 41, 22);
  ConnectClick(SpeedButton2, [this] { ButtonSendClick(); });
  ComboBox1 = new QComboBox(Panel4);
  ComboBox1->setEditable(false);
  ComboBox1->setGeometry(Px(56), Px(4), Px(145), Px(21));
  ComboBox1->setCurrentIndex(-1);

  Label3 = new QLabel(Utf8("sleep"), Panel3);
  Label3->setGeometry(Px(16), Px(12), Px(25), Px(13));
  EditSleep = new QLineEdit(Utf8("0"), Panel3);
  EditSleep->setGeometry(Px(48), Px(4), Px(41), Px(21));
  Label4 =
      new QLabel(Utf8("Gönderilen karakterler arasındaki bekleme süresi...(milisaniye)"), Panel3);
  Label4->setGeometry(Px(96), Px(12), Px(295), Px(13));
}

QToolButton* TForm5::FlatButton(QWidget* parent, const char* caption, int left, int top, int width,
                                int height) {
  auto* button = new QToolButton(parent);
  button->setText(Utf8(caption));
  button->setAutoRaise(true);
  button->setGeometry(Px(left), Px(top), Px(width), Px(height));
  return button;
}

void TForm5::ConnectClick(QToolButton* button, std::function<void()> handler) {
  QObject::connect(button, &QToolButton::clicked, this, Guard(std::move(handler)));
}

void TForm5::BuildAsciiSheet() {
  QWidget* s = TabSheetASCII;
  Label1 = new QLabel(Utf8("Gönderilecek baytlar 3'er harflik dizi şeklinde yazılır. Örneğin: "
                           "033006005032... #33,#6,#5,#32 karakterlerini yollar"),
                      s);
  Label1->setGeometry(Px(8), Px(8), Px(553), Px(13));
  EditASCII = new QLineEdit(s);
  LimitByteCodeField(EditASCII, boxes_);
  rightAnchored_.push_back({EditASCII, 8, 24, 664, 21});
  SpeedButton1 = FlatButton(s, "periyodik", 416, 48, 63, 22);
  ConnectClick(SpeedButton1, [this] { SpeedButton1Click(); });
  EditInterval = new QLineEdit(Utf8("800"), s);
  EditInterval->setGeometry(Px(488), Px(48), Px(33), Px(21));

  PopupMenu1 = new QMenu(s);
  Send1 = PopupMenu1->addAction(Utf8("Send"));
  Send1->setShortcut(QKeySequence(Qt::Key_F10));
  Send1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  s->addAction(Send1);  // the shortcut works on the sheet; the item does nothing
  s->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(s, &QWidget::customContextMenuRequested, this,
                   [this, s](const QPoint& at) { PopupMenu1->popup(s->mapToGlobal(at)); });
}

void TForm5::BuildOmronSheet() {
  QWidget* s = TabSheetOmron;
  Label2 =
      new QLabel(Utf8("Yazılan Omron komutunu, gerekli checksum işlemleri ile birlikte yollar. "
                      "(Cevap gelince 16-5 yollamak gerekiyor.)"),
                 s);
  Label2->setGeometry(Px(8), Px(8), Px(524), Px(13));
  EditOmron = new QLineEdit(s);
  rightAnchored_.push_back({EditOmron, 8, 24, 672, 21});

  auto button = [&](const char* caption, int left, int width) {
    return FlatButton(s, caption, left, 48, width, 22);
  };
  SpeedButton165 = button("16,5", 152, 41);
  ConnectClick(SpeedButton165, [this] { SpeedButton165Click(); });
  SpeedButton00 = button("C00", 200, 41);
  SpeedButton20 = button("C20", 248, 41);
  SpeedButton30 = button("C30", 296, 41);
  SpeedButton61 = button("C61", 344, 33);
  SpeedButton62 = button("C62", 384, 33);
  SpeedButton40 = button("C40", 424, 33);
  for (QToolButton* b :
       {SpeedButton00, SpeedButton20, SpeedButton30, SpeedButton61, SpeedButton62, SpeedButton40}) {
    ConnectClick(b, [this, b] { SpeedButton61Click(b); });
  }
  CheckBox5 = new QCheckBox(Utf8("Auto16,5"), s);
  CheckBox5->setGeometry(Px(464), Px(56), Px(73), Px(17));
  SpeedButtonLoop = button("Loop", 584, 94);
  rightAnchored_.push_back({SpeedButtonLoop, 584, 48, 94, 22});
  ConnectClick(SpeedButtonLoop, [this] { SpeedButtonLoopClick(); });
}

void TForm5::BuildPosSheet() {
  QWidget* s = TabSheetPos;
  Label9 = new QLabel(Utf8("Pos No:"), s);
  Label9->setGeometry(Px(8), Px(16), Px(37), Px(13));
  EditPosNo = new QLineEdit(Utf8("001"), s);
  EditPosNo->setGeometry(Px(104), Px(8), Px(105), Px(21));
  Label7 = new QLabel(Utf8("Özel Komut Gönder:"), s);
  Label7->setGeometry(Px(4), Px(56), Px(96), Px(13));
  EditSendCommand = new QLineEdit(s);
  rightAnchored_.push_back({EditSendCommand, 104, 48, 230, 21});

  PanelIslemBilgisi = new TPanel(s);
  PanelIslemBilgisi->setGeometry(Px(496), Px(16), Px(185), Px(57));
  PanelIslemBilgisi->setFrameShape(QFrame::StyledPanel);
  Label5 = new QLabel(Utf8("İşlem aktif..."), PanelIslemBilgisi);
  Label5->setGeometry(Px(8), Px(8), Px(61), Px(13));
  QPalette red = Label5->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Label5->setPalette(red);
  LabelYazarKasaNo = new QLabel(Utf8("Yazar Kasa No:"), PanelIslemBilgisi);
  LabelYazarKasaNo->setGeometry(Px(8), Px(24), Px(73), Px(13));
  LabelIslemNo = new QLabel(Utf8("İşlem No:"), PanelIslemBilgisi);
  LabelIslemNo->setGeometry(Px(8), Px(40), Px(45), Px(13));
  PanelIslemBilgisi->setVisible(false);
}

void TForm5::BuildYazarKasaSheet() {
  QWidget* s = TabSheetYazarKasa;
  Label8 = new QLabel(Utf8("Yazar Kasa Paketi:"), s);
  Label8->setGeometry(Px(8), Px(56), Px(89), Px(13));
  EditYazarKasa = new QLineEdit(s);
  EditYazarKasa->setGeometry(Px(104), Px(48), Px(217), Px(21));
  // "Clear" is bound to no action: pressing it leaves the packet text as it is, which is how
  // the tab has always behaved. Do not wire it to clear EditYazarKasa.
  SpeedButton3 = FlatButton(s, "Clear", 328, 48, 33, 22);
}

void TForm5::BuildPortGroup(int n) {
  GroupBox[n] = new TGroupBox(QStringLiteral("com%1").arg(n), Panel2);
  CheckBox[n] = new TCheckBox(Utf8("Open"), GroupBox[n], n);
  CheckBox[n]->setGeometry(Px(8), Px(16), Px(81), Px(17));
  TCheckBox* box = CheckBox[n];
  QObject::connect(box, &QCheckBox::clicked, this,
                   [this, box] { boxes_.Guarded([this, box] { OnComCheck(box); }); });
  for (QWidget* w : std::initializer_list<QWidget*>{GroupBox[n], CheckBox[n]}) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w, &QWidget::customContextMenuRequested, this, [this, n, w](const QPoint& at) {
      boxes_.Guarded([&] {
        QMenu* menu = BuildPortMenu(n);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(w->mapToGlobal(at));
      });
    });
  }
  Edit[n] = new QLineEdit(Utf8("9600,n,8,1"), GroupBox[n]);
  Memo[n] = new LogPane(GroupBox[n]);
  CaptureMark[n] = new QLabel(GroupBox[n]);
  CaptureMark[n]->hide();
  QFont mono(QStringLiteral("Courier New"));
  mono.setStyleHint(QFont::Monospace);
  mono.setFixedPitch(true);
  mono.setPixelSize(Px(11));
  Memo[n]->setFont(mono);
  GroupBox[n]->OnResize = Guard([this, n] { LayoutGroup(n); });
}

void TForm5::LayoutGroup(int n) {
  const int w = GroupBox[n]->width();
  const int h = GroupBox[n]->height();
  const int rightInset = n == 1 ? 7 : 8;
  Edit[n]->setGeometry(w - Px(rightInset) - Px(73), Px(16), Px(73), Px(21));
  Memo[n]->setGeometry(2, Px(40), std::max(0, w - 4), std::max(0, h - Px(40) - 2));
  // Between "Open" and the settings field.
  CaptureMark[n]->setGeometry(Px(92), Px(18), std::max(0, w - Px(rightInset + 73 + 96)), Px(17));
  Scenarios.PlaceMark(n, CaptureMark[n]->geometry(), CaptureMark[n]);
}

void TForm5::LayoutSheet(TPanel* sheet) {
  const int grow = sheet->width() - Px(kDesignSheetWidth);
  for (const Anchored& a : rightAnchored_) {
    if (a.widget->parentWidget() != sheet) continue;
    a.widget->setGeometry(Px(a.left), Px(a.top), std::max(0, Px(a.width) + grow), Px(a.height));
  }
}

void TForm5::LayoutBands() {
  const int w = width();
  Panel1->setGeometry(0, 0, w, Px(105));
  Panel4->setGeometry(0, Px(105), w, Px(32));
  Panel3->setGeometry(0, Px(137), w, Px(33));
  FormResize();
}

void TForm5::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (Panel1) LayoutBands();
}

void TForm5::FormResize() {
  Panel2->setGeometry(0, Px(105) + Px(32) + Px(33), width(),
                      std::max(0, height() - (Px(105) + Px(32) + Px(33))));
}

void TForm5::Panel2Resize() {
  const int W = Panel2->width() / 2;
  const int H = Panel2->height() / 2;
  GroupBox[1]->setGeometry(0, 0, W, H);
  GroupBox[2]->setGeometry(W, 0, W, H);
  GroupBox[3]->setGeometry(0, H, W, H);
  GroupBox[4]->setGeometry(W, H, W, H);
}
