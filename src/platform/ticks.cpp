#include "platform/ticks.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform {
namespace {

std::atomic<bool> g_manual{false};
std::atomic<uint32_t> g_manualTicks{0};

bool OnMainThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

uint32_t GetTickCount() {
  if (g_manual.load(std::memory_order_acquire)) {
    return g_manualTicks.load(std::memory_order_acquire);
  }
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms =
      static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void RealSleep(uint32_t ms) {
  timespec req{};
  req.tv_sec = static_cast<time_t>(ms / 1000u);
  req.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  timespec rem{};
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) {
    req = rem;
  }
}

void Sleep(uint32_t ms) {
  if (g_manual.load(std::memory_order_acquire) && OnMainThread()) {
    AdvanceTicks(ms);
    return;
  }
  RealSleep(ms);
}

void UseManualTicks(uint32_t start) {
  g_manualTicks.store(start, std::memory_order_release);
  g_manual.store(true, std::memory_order_release);
}

void UseRealTicks() {
  g_manual.store(false, std::memory_order_release);
}

bool ManualTicks() {
  return g_manual.load(std::memory_order_acquire);
}

void SetTicks(uint32_t value) {
  g_manualTicks.store(value, std::memory_order_release);
}

void AdvanceTicks(uint32_t ms) {
  g_manualTicks.fetch_add(ms, std::memory_order_acq_rel);
}

}  // namespace platform
