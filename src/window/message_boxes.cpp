#include "window/message_boxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <exception>

#include "platform/text/cp1254.h"
#include "platform/text/qt_text.h"
#include "platform/thread/quit_request.h"

namespace platform {
namespace {

void ToStderr(const std::string& text) {
  std::fprintf(stderr, "WireLab: %s\n", Cp1254ToUtf8(text).c_str());
}

}  // namespace

void MessageBoxes::Show(const std::string& text) {
  if (QuitBySignal()) {
    ToStderr(text);
    return;
  }
  Present(text);
}

void MessageBoxes::Present(const std::string& text) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s\n", Cp1254ToUtf8(text).c_str());  // no widgets without one
    return;
  }
  QMessageBox box(QMessageBox::Information, ToQString(Cp1254("RS232 Emülatör")), ToQString(text),
                  QMessageBox::Ok);
  open_.push_back(&box);
  box.exec();
  open_.erase(std::find(open_.begin(), open_.end(), &box));
}

void MessageBoxes::CloseAll() {
  for (auto box = open_.rbegin(); box != open_.rend(); ++box) {
    (*box)->done(QMessageBox::Ok);
  }
}

void MessageBoxes::Report(const std::string& text) {
  if (!QuitBySignal()) Present(text);
  // An error that came after the signal, or whose box the signal closed, was seen by nobody.
  if (QuitBySignal()) {
    ToStderr(text);
    endsWithError_ = true;
  }
}

void MessageBoxes::ReportAtEnd(const std::string& text, int exitCode) {
  ToStderr(text);
  endCode_ = std::max(endCode_, exitCode);
}

void MessageBoxes::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("Bilinmeyen hata");
  }
}

}  // namespace platform
