#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

#include "platform/quit_request.h"

namespace platform {
namespace {
std::atomic<bool> quitRequested{false};
int wakePipe[2] = {-1, -1};
std::function<void()> quitHandler;

void OnSignal(int) {
  quitRequested = true;
  if (wakePipe[1] >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1);
  }
}
}  // namespace

void RequestQuit() { quitRequested = true; }
bool QuitRequested() { return quitRequested; }
void ResetQuitRequest() { quitRequested = false; }

void InstallQuitSignals(std::function<void()> onQuit) {
  quitHandler = std::move(onQuit);
  if (wakePipe[0] < 0 && pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  static QSocketNotifier* notifier = nullptr;
  if (!notifier) {
    notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [] {
      char buffer[16];
      while (read(wakePipe[0], buffer, sizeof buffer) > 0) {
      }
      if (quitHandler) quitHandler();
    });
  }
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

void RemoveQuitSignals() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  quitHandler = nullptr;
  if (wakePipe[0] >= 0) {
    char buffer[16];
    while (read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
  }
}

}  // namespace platform
