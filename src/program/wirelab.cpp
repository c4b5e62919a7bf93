// WireLab: the application, its one window Form5 and the message loop.
//
// "wirelab --screenshot FILE.png" draws the window as it is after start-up into FILE.png and
// ends (it works offscreen, for the README's picture).
#include <QApplication>
#include <QPixmap>
#include <QString>
#include <cstdio>
#include <memory>

#include "platform/quit_request.h"
#include "platform/ui_services.h"
#include "window/wirelabmain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  auto Form5 = std::make_unique<TForm5>();
  if (argc == 3 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--screenshot")) {
    Form5->show();
    QApplication::processEvents();
    const bool saved = Form5->grab().save(QString::fromLocal8Bit(argv[2]), "PNG");
    if (!saved) std::fprintf(stderr, "could not write %s\n", argv[2]);
    return saved ? 0 : 1;
  }
  platform::InstallQuitSignals([&Form5] { Form5->close(); });
  Form5->show();
  const int code = app.exec();
  Form5.reset();  // FormDestroy: the open ports go with the window
  platform::RemoveQuitSignals();
  // Ended by a signal with an error nobody could see (results not saved): it was on stderr.
  return code != 0 ? code : platform::EndsWithError() ? 1 : 0;
}
