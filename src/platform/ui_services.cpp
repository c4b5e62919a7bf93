#include "platform/ui_services.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "platform/cp1254.h"
#include "platform/qt_text.h"
#include "platform/quit_request.h"

namespace platform {
namespace {

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

std::vector<QMessageBox*> openBoxes;  // innermost last
bool endsWithError = false;

void ToStderr(const std::string& text) {
  std::fprintf(stderr, "WireLab: %s\n", Cp1254ToUtf8(text).c_str());
}

void Report(const std::string& text) {
  if (QuitBySignal()) {
    ToStderr(text);
    endsWithError = true;
    return;
  }
  ShowMessage(text);
}

}  // namespace

void ShowMessage(const std::string& text) {
  if (QuitBySignal()) {
    ToStderr(text);
    return;
  }
  // A copy, so that a handler that replaces itself stays alive while it runs.
  const MessageBoxHandler handler = Handler();
  if (handler) {
    handler(text);
    return;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
    std::fprintf(stderr, "%s\n", Cp1254ToUtf8(text).c_str());  // no widgets without one
    return;
  }
  QMessageBox box(QMessageBox::Information, ToQString(Cp1254("RS232 Emülatör")), ToQString(text),
                  QMessageBox::Ok);
  openBoxes.push_back(&box);
  box.exec();
  openBoxes.erase(std::find(openBoxes.begin(), openBoxes.end(), &box));
}

void CloseMessageBoxes() {
  for (auto box = openBoxes.rbegin(); box != openBoxes.rend(); ++box) {
    (*box)->done(QMessageBox::Ok);
  }
}

void SetMessageBoxHandler(MessageBoxHandler handler) {
  Handler() = std::move(handler);
}

void Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("Unknown error");
  }
}

bool EndsWithError() {
  return endsWithError;
}

}  // namespace platform
