#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <atomic>

#include "platform/thread/quit_request.h"
#include "platform/thread/quit_request_detail.h"

namespace platform {
namespace {
int wakePipe[2] = {-1, -1};
std::function<void()> quitHandler;

// The bound on ending after a signal: a timer made at installation, armed by the first signal.
timer_t watchdog;
std::atomic<bool> watchdogMade{false};
std::atomic<bool> watchdogArmed{false};

void OnWatchdog(int) {
  static const char message[] =
      "still running 0.8 s after the signal to end; ending now, unfinished work is lost\n";
  const std::string_view name = detail::ProgramPrefix();
  [[maybe_unused]] ssize_t n = write(STDERR_FILENO, name.data(), name.size());
  n = write(STDERR_FILENO, message, sizeof message - 1);
  _exit(2);
}

void OnSignal(int) {
  detail::NoteQuitBySignal();
  if (watchdogMade && !watchdogArmed.exchange(true)) {
    itimerspec bound{};
    bound.it_value.tv_nsec = std::chrono::nanoseconds(detail::kEndBound).count();
    timer_settime(watchdog, 0, &bound, nullptr);
  }
  if (wakePipe[1] >= 0) {
    char byte = 1;
    [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1);
  }
}

void DisarmWatchdog() {
  if (!watchdogMade) return;
  const itimerspec off{};
  timer_settime(watchdog, 0, &off, nullptr);
  watchdogArmed = false;
}
}  // namespace

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
  if (!watchdogMade) {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    watchdogMade = timer_create(CLOCK_MONOTONIC, &event, &watchdog) == 0;
  }
  struct sigaction action = {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = OnWatchdog;
  sigaction(SIGALRM, &action, nullptr);
  action.sa_handler = OnSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
  // A reader that has gone shows as a failed write, which the writer handles.
  signal(SIGPIPE, SIG_IGN);
}

void RemoveQuitSignals() {
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  signal(SIGHUP, SIG_DFL);
  DisarmWatchdog();
  signal(SIGALRM, SIG_DFL);
  quitHandler = nullptr;
  if (wakePipe[0] >= 0) {
    char buffer[16];
    while (read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
  }
}

}  // namespace platform
