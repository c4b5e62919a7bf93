// WireLab: the application, its one window Form5 and the message loop.
//
// "wirelab --list-ports" prints the machine's serial devices and ends (no display needed).
// "wirelab --screenshot FILE.png" draws the window as it is after start-up into FILE.png and
// ends; "--menu-screenshot FILE.png" draws com1's device menu (both work offscreen, for the
// README's pictures). "--comN PATH" maps port N to a device for this run; "--capture DIR"
// records every port's pane into DIR from each tick of "Open". "--version" prints the version.
#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QSessionManager>
#include <QString>
#include <cstdio>
#include <memory>

#include "platform/devices/com_devices.h"
#include "platform/devices/port_drains.h"
#include "platform/devices/serial_ports.h"
#include "platform/settings/app_files.h"
#include "platform/settings/profile.h"
#include "platform/text/program_arguments.h"
#include "platform/thread/quit_request.h"
#include "platform/time/qt_clock.h"
#include "program/program_options.h"
#include "program/program_version.h"
#include "window/message_boxes.h"
#include "window/wirelabmain.h"

namespace {

bool SavePicture(const QPixmap& picture, const std::string& file) {
  // File names from the command line are taken as UTF-8, as everywhere in the program.
  const bool saved = picture.save(QString::fromUtf8(file.c_str()), "PNG");
  if (!saved) std::fprintf(stderr, "could not write %s\n", file.c_str());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  const ProgramOptions options = ParseProgramOptions(platform::ProgramArguments(argc, argv));
  if (!options.error.empty()) {
    std::fprintf(stderr, "wirelab: %s\n%s\n", options.error.c_str(), kProgramUsage);
    return 2;
  }
  if (options.version) {
    std::printf("wirelab %s\n", ProgramVersion());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (options.listPorts) {
    platform::ComDevices mapped;
    mapped.Load(platform::Profile::Load(platform::LocateAppFiles().settings));
    platform::PrintPortTable(mapped.NetworkPorts());
    return 0;
  }

  QApplication app(argc, argv);
  platform::QtClock clock;
  platform::MessageBoxes boxes;
  platform::PortDrains drains;
  auto Form5 = std::make_unique<TForm5>(clock, boxes, platform::LocateAppFiles(), &drains);
  for (int n = 1; n <= 4; ++n) {
    if (!options.com[n].empty()) Form5->ChoosePortDevice(n, options.com[n]);
  }
  if (!options.captureDir.empty()) Form5->Recordings.CaptureOnOpen(options.captureDir);
  if (!options.screenshot.empty() || !options.menuScreenshot.empty()) {
    Form5->show();
    QApplication::processEvents();
    bool saved = true;
    if (!options.screenshot.empty()) saved = SavePicture(Form5->grab(), options.screenshot);
    if (!options.menuScreenshot.empty()) {
      QMenu* menu = Form5->BuildPortMenu(1);
      menu->popup(Form5->mapToGlobal(QPoint(40, 200)));
      QApplication::processEvents();
      saved = SavePicture(menu->grab(), options.menuScreenshot) && saved;
    }
    return saved ? 0 : 1;
  }
  const auto endNow = [&Form5, &boxes] {
    // A box waits for an answer that may never come; the program is ending.
    boxes.CloseAll();
    Form5->close();
  };
  platform::SetProgramName("wirelab");
  platform::InstallQuitSignals(endNow);
  // Logging off or shutting down ends the window as closing it does.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, [&endNow](QSessionManager&) {
    platform::RequestQuit();
    endNow();
  });
  Form5->show();
  const int code = app.exec();
  Form5.reset();  // FormDestroy: the open ports go with the window
  // What was still queued for a port leaves before the end, unless a signal asked for a
  // quick one: then it is dropped.
  drains.WaitForAll(platform::QuitBySignal());
  platform::RemoveQuitSignals();
  // An error nobody could see (results not saved after a signal, a recording left incomplete
  // as the window ended) was on stderr.
  return code != 0 ? code : boxes.EndCode();
}
