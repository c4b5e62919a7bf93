#include "cli/cli_ports.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "platform/devices/com_devices.h"
#include "platform/devices/network_port.h"
#include "platform/devices/serial_device.h"
#include "platform/thread/quit_request.h"
#include "senders/byte_codes.h"
#include "serial/port_diagnosis.h"
#include "serial/receive_entry.h"

CliPorts::CliPorts(const CliOptions& options, CliEventWriter& events, platform::Clock& clock,
                   platform::ComDevices devices, platform::PortDrains& drains)
    : options_(options),
      events_(events),
      clock_(clock),
      devices_(std::move(devices)),
      drains_(drains),
      packets_(*this),
      timerEvery_(clock) {
  startTick_ = clock_.Now();
  for (int n = 1; n <= 4; ++n) {
    if (options_.pos[n])
      pos_[n] = std::make_unique<CliPosPort>(static_cast<PosLink&>(*this), n, clock_);
  }
  timerEvery_.OnTimer = [this] { RunReportingErrors([this] { SendAll(); }); };
  burstTimer_.setSingleShot(true);
  QObject::connect(&burstTimer_, &QTimer::timeout, [this] { FlushQuietBursts(); });
}

CliPorts::~CliPorts() {
  Close();
}

int CliPorts::Open() {
  for (int n = 1; n <= 4; ++n) {
    if (!options_.ports[n].given) continue;
    if (!OpenOne(n)) {
      for (auto& opened : ports_) opened.reset();
      return n;
    }
  }
  for (int n = 1; n <= 4; ++n) {
    if (ports_[n] == nullptr) continue;
    ports_[n]->Resume();
    Emit({CliEvent::Kind::Opened, n, {}, devices_.Path(n) + " " + options_.ports[n].settings});
    LinesChanged(n);  // the lines as the port opened
    SetOutputs(n);
    if (options_.sendBreak[n] && ports_[n]->SetBreak(true)) {
      breakHeld_[n] = true;
      QTimer::singleShot(kBreakMs, &burstTimer_, [this, n] { EndBreak(n); });
    } else if (options_.sendBreak[n]) {
      Emit({CliEvent::Kind::Break, n, {}, "refused", "\"ms\":0"});
    }
  }
  return 0;
}

bool CliPorts::OpenOne(int n) {
  const CliPortOption& option = options_.ports[n];
  if (!option.device.empty()) devices_.Set(n, option.device);
  auto port =
      std::make_unique<TRealCom>(calls_, true, nullptr, n, option.settings, devices_, &drains_);
  if (!port->PortHandle().IsOpen()) {
    openFailure_ = DescribePortProblem({port->Problem(),
                                        port->DevicePath(),
                                        option.settings,
                                        {},
                                        /*forCommandLine=*/true,
                                        port->RateKept()});
    return false;  // created suspended: its thread never ran
  }
  port->OnReceive = [this](TPeripheral* sender, uint8_t value) { PortByteReceived(sender, value); };
  // An unplugged port stays open and comes back by itself; the rig hears of both.
  port->OnDeviceChange = [this, n, port = port.get()] {
    const std::string problem = DescribePortProblem({port->Problem(),
                                                     port->DevicePath(),
                                                     options_.ports[n].settings,
                                                     {},
                                                     /*forCommandLine=*/true});
    Emit(
        {CliEvent::Kind::Device, n, {}, problem.empty() ? "back: " + port->DevicePath() : problem});
  };
  port->OnLinesChange = [this, n] { LinesChanged(n); };
  // A server that refused or left unanswered an option: the port goes on, the rig hears which.
  port->OnLinkNote = [this, n, port = port.get()] {
    Emit({CliEvent::Kind::Device,
          n,
          {},
          DescribeLinkNote(platform::UnconfirmedOptions(port->PortHandle()),
                           /*forCommandLine=*/true)});
  };
  ports_[n] = std::move(port);
  return true;
}

void CliPorts::ClosePort(int port) {
  if (!PortPresent(port)) return;
  FlushBurst(port);
  ports_[port].reset();
  Emit({CliEvent::Kind::Closed, port, {}, devices_.Path(port)});
}

bool CliPorts::ReopenPort(int port, std::string& reason) {
  if (PortPresent(port)) return true;
  if (!OpenOne(port)) {
    reason = openFailure_;
    return false;
  }
  ports_[port]->Resume();
  Emit({CliEvent::Kind::Opened,
        port,
        {},
        devices_.Path(port) + " " + options_.ports[port].settings});
  return true;
}

void CliPorts::PurgePort(int port) {
  if (PortPresent(port)) platform::PurgeInput(ports_[port]->PortHandle());
}

void CliPorts::FlushReceived() {
  for (int n = 1; n <= 4; ++n) FlushBurst(n);
}

void CliPorts::SetOutputs(int n) {
  TRealCom& port = *ports_[n];
  const bool dtr = options_.dtr[n].has_value(), rts = options_.rts[n].has_value();
  if (dtr) port.SetOutput(platform::ModemOutput::Dtr, *options_.dtr[n]);
  if (rts) port.SetOutput(platform::ModemOutput::Rts, *options_.rts[n]);
  if (dtr || rts) Emit(OutputsEvent(n, port.Lines()));
}

void CliPorts::EndBreak(int n) {
  if (!breakHeld_[n]) return;
  breakHeld_[n] = false;
  if (ports_[n]) ports_[n]->SetBreak(false);
  Emit({CliEvent::Kind::Break,
        n,
        {},
        std::to_string(kBreakMs),
        "\"ms\":" + std::to_string(kBreakMs)});
  if (sendsWaitForBreaks_ &&
      std::find(breakHeld_.begin(), breakHeld_.end(), true) == breakHeld_.end()) {
    sendsWaitForBreaks_ = false;
    StartSending();
  }
}

void CliPorts::LinesChanged(int n) {
  if (!options_.lines || !ports_[n]) return;
  const platform::ModemLines& now = ports_[n]->Lines();
  // Only the inputs count: the outputs change when this program sets them.
  const auto inputs = [](const platform::ModemLines& l) {
    return std::make_tuple(l.Known, l.Cts, l.Dsr, l.Dcd, l.Ri, l.Why, l.Code);
  };
  if (linesShown_[n] && inputs(*linesShown_[n]) == inputs(now)) return;
  linesShown_[n] = now;
  FlushBurst(n);
  Emit(LinesEvent(n, now));
}

void CliPorts::StartSending() {
  if (options_.sends.empty()) return;
  if (std::find(breakHeld_.begin(), breakHeld_.end(), true) != breakHeld_.end()) {
    sendsWaitForBreaks_ = true;
    return;
  }
  QTimer::singleShot(0, [this] { RunReportingErrors([this] { SendAll(); }); });
  if (options_.everyMs > 0) {
    timerEvery_.SetInterval(options_.everyMs);
    timerEvery_.SetEnabled(true);
  }
}

void CliPorts::Close() {
  timerEvery_.SetEnabled(false);
  for (const auto& port : ports_) {
    if (port) port->Suspend();
  }
  calls_.RunPending();
  for (auto& pos : pos_) pos.reset();  // and with them their retransmission timers
  burstTimer_.stop();
  for (int n = 1; n <= 4; ++n) FlushBurst(n);
  for (int n = 1; n <= 4; ++n) EndBreak(n);
  for (int n = 1; n <= 4; ++n) {
    if (!ports_[n]) continue;
    ports_[n].reset();
    Emit({CliEvent::Kind::Closed, n, {}, devices_.Path(n)});
  }
}

void CliPorts::PortByteReceived(TPeripheral* sender, uint8_t value) {
  // A byte from a port object that is no longer the port's (closed meanwhile) is dropped.
  const int n = sender->PortNumber();
  if (n < 1 || n > 4 || ports_[n].get() != sender) return;
  if (ByteTap) ByteTap(n, value);
  if (options_.pos[n]) {
    if (pos_[n]) pos_[n]->ByteReceived(value);
  } else {
    const uint32_t now = clock_.Now();
    const std::string entry = ReceiveEntry(now - startTick_, value, options_.hex);
    Burst& burst = bursts_[n];
    if (burst.entries.size() + entry.size() > kBurstMaxChars) FlushBurst(n);
    burst.entries += entry;
    burst.bytes.push_back(value);
    burst.lastTick = now;
    if (!burstTimer_.isActive()) burstTimer_.start(static_cast<int>(kBurstQuietMs));
  }
}

void CliPorts::SendAll() {
  for (const CliSendAction& send : options_.sends) {
    if (platform::QuitRequested()) return;
    if (send.kind == CliSendAction::Kind::ByteCodes) {
      SendByteCodes(send.port, send.text);
    } else {
      packets_.SendPacket(send.port, send.text);
    }
  }
}

void CliPorts::SendByteCodes(int port, const std::string& codes) {
  if (!PortPresent(port)) return;
  FlushBurst(port);
  CliEvent event{CliEvent::Kind::Sent, port, {}, {}};
  for (const uint8_t byte : ByteCodesToBytes(codes)) {
    if (platform::QuitRequested()) break;
    ports_[port]->SendByte(nullptr, byte);
    event.bytes.push_back(byte);
    if (options_.sleepMs > 0) {
      clock_.SleepUnless(static_cast<uint32_t>(options_.sleepMs), platform::QuitRequested);
    }
  }
  if (!event.bytes.empty()) Emit(std::move(event));
}

void CliPorts::FlushBurst(int port) {
  Burst& burst = bursts_[port];
  if (burst.bytes.empty()) return;
  CliEvent event{CliEvent::Kind::Received, port, std::move(burst.bytes), std::move(burst.entries)};
  burst = Burst{};
  Emit(std::move(event));
}

void CliPorts::FlushQuietBursts() {
  const uint32_t now = clock_.Now();
  uint32_t wait = UINT32_MAX;  // until the next burst falls quiet
  for (int n = 1; n <= 4; ++n) {
    const Burst& burst = bursts_[n];
    if (burst.bytes.empty()) continue;
    const uint32_t quiet = now - burst.lastTick;
    if (quiet >= kBurstQuietMs) {
      FlushBurst(n);
    } else {
      wait = std::min(wait, kBurstQuietMs - quiet);
    }
  }
  if (wait != UINT32_MAX) burstTimer_.start(static_cast<int>(wait));
}

void CliPorts::Emit(CliEvent event) {
  events_.Write(event);
}

bool CliPorts::PortPresent(int port) {
  return port >= 1 && port <= 4 && ports_[port] != nullptr;
}

void CliPorts::SendBytes(int port, const std::vector<uint8_t>& bytes) {
  if (!PortPresent(port)) return;
  FlushBurst(port);
  ports_[port]->SendBuffer(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()));
  if (SentTap) SentTap(port, bytes);
  Emit({CliEvent::Kind::Sent, port, bytes, {}});
}

void CliPorts::AddLogLine(int port, const std::string& line) {
  if (port < 1 || port > 4) return;
  FlushBurst(port);
  Emit({CliEvent::Kind::Log, port, {}, line});
}

std::string CliPorts::PosNumberText() {
  return options_.posNumber;
}
