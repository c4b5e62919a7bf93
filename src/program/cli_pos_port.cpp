#include "program/cli_pos_port.h"

#include <cstdio>
#include <exception>

#include "platform/ticks.h"

CliPosPort::CliPosPort(PosLink& ports, int port) : ports_(ports), port_(port), terminal_(*this) {
  lastRxTick_ = platform::GetTickCount();
  timerQueue_.OnTimer = [this] { RunReportingErrors([this] { terminal_.TimerQueueTimer(); }); };
}

void CliPosPort::ByteReceived(uint8_t value) {
  terminal_.PosByteReceived(port_, value, lastRxTick_, platform::GetTickCount());
  lastRxTick_ = platform::GetTickCount();
}

void RunReportingErrors(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wirelab-cli: %s\n", e.what());
  }
}
