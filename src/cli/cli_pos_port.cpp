#include "cli/cli_pos_port.h"

#include <cstdio>
#include <exception>

CliPosPort::CliPosPort(PosLink& ports, int port, platform::Clock& clock)
    : ports_(ports), clock_(clock), port_(port), terminal_(*this), timerQueue_(clock) {
  lastRxTick_ = clock_.Now();
  timerQueue_.OnTimer = [this] { RunReportingErrors([this] { terminal_.TimerQueueTimer(); }); };
}

void CliPosPort::ByteReceived(uint8_t value) {
  terminal_.PosByteReceived(port_, value, lastRxTick_, clock_.Now());
  lastRxTick_ = clock_.Now();
}

void RunReportingErrors(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wirelab-cli: %s\n", e.what());
  }
}
