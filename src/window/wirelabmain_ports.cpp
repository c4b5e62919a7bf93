// The device behind each port group: its context menu, the choice of device, saving it as the
// default, and the mark and tooltip that say what is wrong with it.
#include <QAction>
#include <QInputDialog>
#include <QStyle>
#include <utility>

#include "platform/devices/com_devices.h"
#include "platform/devices/network_port.h"
#include "platform/devices/serial_ports.h"
#include "platform/settings/profile_writer.h"
#include "platform/text/cp1254.h"
#include "platform/text/qt_text.h"
#include "serial/port_diagnosis.h"
#include "window/message_boxes.h"
#include "window/window_text.h"
#include "window/wirelabmain.h"

namespace {

// Device paths are UTF-8 in the program, whatever the system's own code page.
std::optional<std::string> AskDevicePathInDialog(QWidget* parent, int N,
                                                 const std::string& current) {
  QInputDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("com%1").arg(N));
  dialog.setLabelText(Utf8("com%1 cihaz yolu:").arg(N));
  dialog.setOkButtonText(Utf8("Tamam"));
  dialog.setCancelButtonText(Utf8("İptal"));
  dialog.setTextValue(Utf8(current));
  const QString path = dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
  if (path.trimmed().isEmpty()) return std::nullopt;
  return path.trimmed().toUtf8().toStdString();
}

}  // namespace

std::string TForm5::PortDevicePath(int N) const {
  return Ports[N] ? Ports[N]->DevicePath() : comDevices_.Path(N);
}

QMenu* TForm5::BuildPortMenu(int N) {
  auto* menu = new QMenu(this);
  const std::string current = PortDevicePath(N);
  bool currentListed = false;
  bool networkFirst = true;
  for (const platform::SerialPortInfo& port : platform::ListSerialPorts()) {
    const std::string& path = port.PreferredPath();
    QAction* action = menu->addAction(Utf8(port.Description() + "  " + path));
    action->setCheckable(true);
    const bool isCurrent = platform::SameDevicePath(path, current) || path == current;
    action->setChecked(isCurrent);
    currentListed = currentListed || isCurrent;
    QObject::connect(action, &QAction::triggered, this,
                     [this, N, path] { boxes_.Guarded([&] { ChoosePortDevice(N, path); }); });
  }
  // The ports on other machines that WireLab.ini names.
  for (const auto& [number, path] : comDevices_.NetworkPorts()) {
    if (std::exchange(networkFirst, false)) menu->addSeparator();
    QAction* action = menu->addAction(Utf8(path + "  (com" + std::to_string(number) + ")"));
    action->setCheckable(true);
    const bool isCurrent = path == current;
    action->setChecked(isCurrent);
    currentListed = currentListed || isCurrent;
    QObject::connect(action, &QAction::triggered, this,
                     [this, N, path] { boxes_.Guarded([&] { ChoosePortDevice(N, path); }); });
  }
  if (!currentListed) {
    // A device that is not detected (a pseudo-terminal, a link, a missing adapter) is still
    // shown, as the current one.
    QAction* action = menu->addAction(Utf8(current));
    action->setCheckable(true);
    action->setChecked(true);
  }
  menu->addSeparator();
  QObject::connect(menu->addAction(Utf8("Başka cihaz...")), &QAction::triggered, this, [this, N] {
    boxes_.Guarded([&] {
      const std::string now = PortDevicePath(N);
      const std::optional<std::string> path =
          AskDevicePath ? AskDevicePath(N, now) : AskDevicePathInDialog(this, N, now);
      if (path) ChoosePortDevice(N, *path);
    });
  });
  QObject::connect(menu->addAction(Utf8("com%1 için varsayılan olarak kaydet").arg(N)),
                   &QAction::triggered, this,
                   [this, N] { boxes_.Guarded([&] { SavePortDefault(N); }); });
  menu->addSeparator();
  QAction* record = menu->addAction(Utf8("Dosyaya kaydet..."));
  record->setCheckable(true);
  record->setChecked(Recordings.Capturing(N));
  QObject::connect(record, &QAction::triggered, this,
                   [this, N] { boxes_.Guarded([&] { Recordings.CaptureMenuChosen(N); }); });
  QAction* run = menu->addAction(Utf8("Senaryo çalıştır..."));
  run->setCheckable(true);
  run->setChecked(Scenarios.Running(N));
  QObject::connect(run, &QAction::triggered, this,
                   [this, N] { boxes_.Guarded([&] { Scenarios.RunMenuChosen(N); }); });
  QAction* recordScenario = menu->addAction(Utf8("Senaryo olarak kaydet..."));
  recordScenario->setCheckable(true);
  recordScenario->setChecked(Scenarios.Recording(N));
  QObject::connect(recordScenario, &QAction::triggered, this,
                   [this, N] { boxes_.Guarded([&] { Scenarios.RecordMenuChosen(N); }); });
  return menu;
}

void TForm5::ChoosePortDevice(int N, const std::string& path) {
  comDevices_.Set(N, path);
  if (Ports[N]) {
    DestroyPortObject(N);
    CreatePortObject(N);
  }
  ShowPortState(N);
}

void TForm5::SavePortDefault(int N) {
  try {
    platform::WriteProfileValue(files_.userSettings, "Ports", "Com" + std::to_string(N),
                                PortDevicePath(N), files_.settingsSeed);
    // Only a change is written: a file without the key keeps its lines as they were.
    if (paneHex_[N] != hexSaved_[N]) {
      platform::WriteProfileValue(files_.userSettings, "Ports", "Com" + std::to_string(N) + "Hex",
                                  paneHex_[N] ? "1" : "0", files_.settingsSeed);
      hexSaved_[N] = paneHex_[N];
    }
  } catch (const std::exception& e) {
    boxes_.Show(platform::Utf8ToCp1254(e.what()));
  }
}

void TForm5::SetPaneHex(int N, bool hex) {
  paneHex_[N] = hex;
}

void TForm5::AddPaneMenuItems(int N, QMenu* menu) {
  QAction* hex = menu->addAction(Utf8("Kodları onaltılık göster (x41)"));
  hex->setCheckable(true);
  hex->setChecked(paneHex_[N]);
  QObject::connect(hex, &QAction::triggered, this,
                   [this, N](bool checked) { boxes_.Guarded([&] { SetPaneHex(N, checked); }); });
}

void TForm5::ShowPortState(int N) {
  const bool ticked = CheckBox[N]->isChecked();
  PortDiagnosis diagnosis;
  diagnosis.devicePath = PortDevicePath(N);
  // The tooltip is UTF-8, like the device path: the settings field's text is taken as UTF-8,
  // and the error that refused it, CP1254 as the boxes have it, is converted.
  diagnosis.settings = Edit[N]->text().toUtf8().toStdString();
  if (ticked && Ports[N]) {
    diagnosis.error = Ports[N]->Problem();
    diagnosis.rateKept = Ports[N]->RateKept();
  } else if (ticked) {
    diagnosis.error = platform::PortError::SettingsRefused;
    diagnosis.settingsNote = platform::Cp1254ToUtf8(openFailure_[N]);
  }
  const std::string problem = DescribePortProblem(diagnosis);

  std::string tip = "com" + std::to_string(N) + ": " + diagnosis.devicePath;
  if (Ports[N] && Ports[N]->IdentityPath() != diagnosis.devicePath) {
    tip += "\n" + Ports[N]->IdentityPath();
  }
  if (!problem.empty()) tip += "\n" + problem;
  if (ticked && Ports[N]) {
    const std::string note =
        DescribeLinkNote(platform::UnconfirmedOptions(Ports[N]->PortHandle()), false);
    if (!note.empty()) tip += "\n" + note;
    if (Ports[N]->SendStalled()) {
      tip +=
          "\nGönderim durdu: cihaz çıkışı yaklaşık 2 sn almadı (donanım akış kontrolünde CTS "
          "kapalı olabilir); gönderimin kalanı atıldı.";
    }
  }
  const bool recording = Recordings.Capturing(N);
  const bool recordingFailed = Recordings.CaptureFailed(N);
  const std::string capture = Recordings.CaptureState(N);
  if (!capture.empty()) tip += "\n" + capture;
  for (const std::string& scenario : {Scenarios.RunState(N), Scenarios.RecordingState(N)}) {
    if (!scenario.empty()) tip += "\n" + scenario;
  }
  if (Ports[N] && Ports[N]->PortHandle().IsOpen()) {
    switch (platform::FlowControlInForce(Ports[N]->PortHandle())) {
      case platform::FlowControl::Hardware:
        tip +=
            "\nAkış kontrolü: donanım (RTS/CTS). CTS kapalıyken bir gönderim en çok yaklaşık "
            "2 sn bekler, sonra kalanı atılır; pencere donmaz.";
        break;
      case platform::FlowControl::XonXoff:
        tip += "\nAkış kontrolü: XON/XOFF (17 ve 19 kodları veri olarak gelmez).";
        break;
      default:
        tip += "\nAkış kontrolü: yok";
        break;
    }
  }
  GroupBox[N]->setToolTip(Utf8(tip));
  CheckBox[N]->setToolTip(Utf8(tip));

  QPalette palette = CheckBox[N]->palette();
  palette.setColor(QPalette::WindowText,
                   problem.empty() ? GroupBox[N]->palette().color(QPalette::WindowText) : Qt::red);
  CheckBox[N]->setPalette(palette);
  CheckBox[N]->setIcon(problem.empty() ? QIcon()
                                       : style()->standardIcon(QStyle::SP_MessageBoxWarning));

  QLabel* mark = CaptureMark[N];
  mark->setVisible(recording || recordingFailed);
  mark->setText(recording ? Utf8("● Kayıt") : Utf8("⚠ Kayıt durdu"));
  QPalette markPalette = mark->palette();
  markPalette.setColor(QPalette::WindowText, recording ? QColor(192, 0, 0) : QColor(160, 96, 0));
  mark->setPalette(markPalette);
  mark->setToolTip(Utf8(tip));
  Scenarios.ShowMark(N, tip);
  Scenarios.PlaceMark(N, mark->geometry(), mark);
  ShowLines(N);
}
