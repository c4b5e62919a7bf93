#include "test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/settings/app_paths.h"
#include "platform/text/cp1254.h"
#include "platform/thread/thread.h"
#include "platform/time/ticks.h"
#include "window/message_boxes.h"

void MessageBoxCapture::Present(const std::string& text) {
  if (ShowRealBoxes) {
    MessageBoxes::Present(text);
    return;
  }
  Messages.push_back(text);
  if (OnShow) OnShow(text);
}

TempAppDir::TempAppDir() {
  QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/wirelab-test-XXXXXX"));
  if (!dir.isValid()) throw std::runtime_error("cannot make a temporary folder");
  dir.setAutoRemove(false);
  path_ = dir.path().toStdString() + "/";
}

TempAppDir::~TempAppDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempAppDir::WriteFile(const std::string& name, const std::string& content) const {
  std::ofstream(path_ + name, std::ios::binary) << content;
}

std::string TempAppDir::ReadFile(const std::string& name) const {
  std::ifstream in(path_ + name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds deadline) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > deadline.count()) return pred();
    QCoreApplication::processEvents();
    platform::RealSleep(1);
  }
  return true;
}

std::string Cp(const std::string& utf8) {
  return platform::Utf8ToCp1254(utf8);
}
