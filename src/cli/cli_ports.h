#pragma once
// The ports of wirelab-cli and what runs on them, wired as the window wires them: each open
// port's received bytes go to its POS terminal (ports given with --pos, as with the "POS" tab
// in front) or become receive entries; the POS terminals' replies, log lines and repeated
// messages go out through this object; --send and --packet go out at start and, with
// --every, again at every tick.
//
// Received entries of a port are gathered into one line while the bytes keep coming: the line
// is written once the port has been quiet for kBurstQuietMs, before any other event of the
// same port, and when it reaches kBurstMaxChars.
//
// Main thread only; the port threads reach it through their deliveries.

#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_event_writer.h"
#include "cli/cli_options.h"
#include "cli/cli_pos_port.h"
#include "platform/devices/com_devices.h"
#include "platform/time/clock.h"
#include "platform/time/toolkit_timer.h"
#include "pos/pos_link.h"
#include "pos/pos_terminal.h"
#include "serial/CommObjects.h"

class CliPorts : private PosLink {
 public:
  static constexpr uint32_t kBurstQuietMs = 20;
  static constexpr size_t kBurstMaxChars = 4096;

  // The ports' time and timers run on clock; devices maps "comN:" (a --port's own device takes
  // its place); drains takes the output still queued when a port closes. Clock and drains
  // outlive this object.
  CliPorts(const CliOptions& options, CliEventWriter& events, platform::Clock& clock,
           platform::ComDevices devices, platform::PortDrains& drains);
  ~CliPorts() override;
  CliPorts(const CliPorts&) = delete;
  CliPorts& operator=(const CliPorts&) = delete;

  // Opens every given port and starts its thread. When one cannot be opened, the ports
  // opened before it are closed again and its number is returned; 0 when all are open.
  int Open();
  // Why the port that Open returned could not be opened, in plain words.
  const std::string& OpenFailure() const { return openFailure_; }
  // The first sends (on the event loop's first turn) and the --every timer.
  void StartSending();
  // Stops the timers, takes the bytes already read, writes what is gathered and closes the
  // ports. Idempotent.
  void Close();

  // For a scenario run: every byte received on a port also goes to tap; the ports, log lines
  // and "Pos No:" as the POS terminals have them; one port closed and opened again, or its
  // received bytes purged (what was sent still goes out); the received bytes gathered so far
  // written out.
  std::function<void(int port, uint8_t value)> ByteTap;
  // Every send on a port, the POS terminals' frames included.
  std::function<void(int port, const std::vector<uint8_t>& bytes)> SentTap;
  PosLink& Link() { return *this; }
  void ClosePort(int port);
  bool ReopenPort(int port, std::string& reason);
  void PurgePort(int port);
  void FlushReceived();

 private:
  struct Burst {
    std::string entries;  // CP1254
    std::vector<uint8_t> bytes;
    uint32_t lastTick = 0;
  };

  // Opens port n and binds its events; false, with openFailure_ set, when it cannot be had.
  bool OpenOne(int n);
  void PortByteReceived(TPeripheral* sender, uint8_t value);
  void SendAll();
  void SendByteCodes(int port, const std::string& codes);
  void FlushBurst(int port);
  void FlushQuietBursts();
  void Emit(CliEvent event);

  // PosLink: the ports, log lines and "Pos No:" for every POS terminal and for --packet; the
  // transaction and timer belong to each --pos port (CliPosPort), so here they do nothing.
  bool PortPresent(int port) override;
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override;
  void AddLogLine(int port, const std::string& line) override;
  std::string PosNumberText() override;
  bool TransactionPanelVisible() override { return false; }
  void SetTransactionPanelVisible(bool) override {}
  void SetTransactionLabels(const std::string&, const std::string&) override {}
  bool QueueTimerEnabled() override { return false; }
  void SetQueueTimerEnabled(bool) override {}
  void SetQueueTimerInterval(int32_t) override {}

  const CliOptions& options_;
  CliEventWriter& events_;
  platform::Clock& clock_;
  platform::ComDevices devices_;
  platform::PortDrains& drains_;
  platform::MainThreadCalls calls_;                   // the ports' deliveries; outlives them
  std::array<std::unique_ptr<TRealCom>, 5> ports_{};  // [1..4]
  std::array<std::unique_ptr<CliPosPort>, 5> pos_{};  // [1..4], for the --pos ports
  PosTerminal packets_;                               // SendPacket for --packet
  platform::ToolkitTimer timerEvery_;
  QTimer burstTimer_;
  std::array<Burst, 5> bursts_{};
  uint32_t startTick_ = 0;
  std::string openFailure_;
};
