// Ending on Windows: Ctrl+C, Ctrl+Break, a closed console, log-off and shut-down reach a
// console program through its control handler, which Windows runs on a thread of its own.
// The handler asks the main thread to end, as the signals do elsewhere; for the last three
// Windows ends the process once the handler returns, so it waits (bounded) for the program
// to have ended its work.
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/thread/quit_request.h"
#include "platform/thread/quit_request_detail.h"

namespace platform {
namespace {

std::function<void()> quitHandler;

std::mutex endMutex;
std::condition_variable endChanged;
bool ended = false;          // RemoveQuitSignals ran: the program's own ending is done
bool watchdogArmed = false;  // the 800 ms bound runs

void ArmWatchdog() {
  std::lock_guard<std::mutex> lock(endMutex);
  if (watchdogArmed) return;
  watchdogArmed = true;
  std::thread([] {
    std::unique_lock<std::mutex> wait(endMutex);
    if (endChanged.wait_for(wait, detail::kEndBound, [] { return ended; })) return;
    const std::string_view name = detail::ProgramPrefix();
    std::fwrite(name.data(), 1, name.size(), stderr);
    std::fputs(
        "still running 0.8 s after the request to end; ending now, unfinished work is lost\n",
        stderr);
    std::fflush(stderr);
    ExitProcess(2);
  }).detach();
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  detail::NoteQuitBySignal();
  ArmWatchdog();
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app,
        [] {
          if (quitHandler) quitHandler();
        },
        Qt::QueuedConnection);
  }
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
    std::unique_lock<std::mutex> wait(endMutex);
    endChanged.wait_for(wait, std::chrono::seconds(4), [] { return ended; });
  }
  return TRUE;
}

}  // namespace

void InstallQuitSignals(std::function<void()> onQuit) {
  quitHandler = std::move(onQuit);
  {
    std::lock_guard<std::mutex> lock(endMutex);
    ended = false;
  }
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void RemoveQuitSignals() {
  SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  quitHandler = nullptr;
  std::lock_guard<std::mutex> lock(endMutex);
  ended = true;
  watchdogArmed = false;
  endChanged.notify_all();
}

}  // namespace platform
