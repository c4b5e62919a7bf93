#include "platform/devices/network_port.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/devices/net_socket.h"
#include "platform/time/ticks.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using net::Socket;
constexpr auto kStallLimit = std::chrono::milliseconds(2000);
constexpr uint32_t kCloseFlushMs = 500;
constexpr size_t kHeldOutputMax = 1 << 16;  // what a port still connecting keeps to send
constexpr size_t kReceiveChunk = 16384;

uint32_t NowMs() {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
          .count());
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  }
  return true;
}

// One connection attempt, on a thread of its own. Whoever looks last closes a socket that
// nobody took: the thread when the attempt was abandoned, the abandoner when it had finished.
struct Attempt {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  Socket socket = net::kNoSocket;
  PortError error = PortError::None;
  std::atomic<bool> cancel{false};
  Clock::time_point started = Clock::now();
  Clock::time_point ended;

  bool Wait(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex);
    return finished.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done; });
  }
  // Takes the socket of a finished attempt (kNoSocket with error set when it failed).
  Socket Take(PortError& why) {
    std::lock_guard<std::mutex> lock(mutex);
    const Socket taken = socket;
    socket = net::kNoSocket;
    why = error;
    return taken;
  }
  void Abandon() {
    std::lock_guard<std::mutex> lock(mutex);
    cancel = true;
    if (done && socket != net::kNoSocket) net::CloseSocket(socket);
    socket = net::kNoSocket;
  }
};

std::shared_ptr<Attempt> StartAttempt(const NetworkAddress& address) {
  auto attempt = std::make_shared<Attempt>();
  std::thread([attempt, address] {
    PortError error = PortError::None;
    const Socket socket =
        net::Connect(address.host, address.port, kNoAnswerMs, attempt->cancel, error);
    std::lock_guard<std::mutex> lock(attempt->mutex);
    if (attempt->cancel) {
      net::CloseSocket(socket);
    } else {
      attempt->socket = socket;
    }
    attempt->error =
        socket == net::kNoSocket && error == PortError::None ? PortError::Other : error;
    attempt->done = true;
    attempt->ended = Clock::now();
    attempt->finished.notify_all();
  }).detach();
  return attempt;
}

// The attempts made while ports were gone, by path, and the paths of the ports open now.
struct Registry {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<Attempt>> attempts;
  std::map<std::string, int> open;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry;  // never destroyed: detached threads may outlive main
  return *registry;
}

// A connection held for a port that did not come to take it (closed meanwhile) is given back,
// so that the server is free for others. Called with the registry locked.
void DropUntaken(Registry& registry) {
  constexpr auto kHoldLimit = std::chrono::seconds(2);
  for (auto it = registry.attempts.begin(); it != registry.attempts.end();) {
    std::shared_ptr<Attempt> attempt = it->second;
    bool stale = false;
    {
      std::lock_guard<std::mutex> lock(attempt->mutex);
      stale = attempt->done && attempt->socket != net::kNoSocket &&
              Clock::now() - attempt->ended > kHoldLimit;
    }
    if (stale) {
      attempt->Abandon();
      it = registry.attempts.erase(it);
    } else {
      ++it;
    }
  }
}

// The object behind a network port's handle. The port thread reads, waits and answers the
// server; the main thread opens, sets, purges, sends and closes. mutex_ guards everything but
// the socket's value, which only changes under it while the port thread is not waiting.
class NetworkPort {
 public:
  NetworkPort(std::string path, NetworkAddress address, std::shared_ptr<Attempt> attempt)
      : path_(std::move(path)),
        address_(std::move(address)),
        attempt_(std::move(attempt)),
        telnet_(address_.comPort) {
    state_.Binary = true;
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    ++TheRegistry().open[path_];
  }

  ~NetworkPort() {
    if (attempt_) attempt_->Abandon();
    net::CloseSocket(socket_);
    std::lock_guard<std::mutex> lock(TheRegistry().mutex);
    if (--TheRegistry().open[path_] == 0) TheRegistry().open.erase(path_);
  }

  // Finishes the open when the attempt already ended; false when it failed.
  bool Settle(PortError& why) {
    std::lock_guard<std::mutex> lock(mutex_);
    Pump();
    why = failure_;
    return failure_ == PortError::None;
  }

  void Close() {
    // What is still to be sent gets a short while to leave.
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(kCloseFlushMs);
    std::unique_lock<std::mutex> lock(mutex_);
    while (socket_ != net::kNoSocket && failure_ == PortError::None && !output_.empty() &&
           Clock::now() < until) {
      Flush();
      if (output_.empty()) break;
      lock.unlock();
      net::WaitFor(socket_, true, 20);
      lock.lock();
    }
  }

  PortError Failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

  std::vector<std::string> Unconfirmed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return telnet_.Unconfirmed();
  }

  bool TakeNotice() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(notice_, false);
  }

  bool Control(net::LineControl control) {
    if (!address_.comPort) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    telnet_.Command(net::ComPortCommand::SetControl, {static_cast<uint8_t>(control)}, NowMs(),
                    output_);
    Flush();
    return true;
  }

  std::optional<uint8_t> ModemState() {
    std::lock_guard<std::mutex> lock(mutex_);
    return telnet_.ModemState();
  }

  void GetState(CommState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state = state_;
  }

  void SetState(const CommState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    if (!address_.comPort) return;
    const uint32_t now = NowMs();
    const uint32_t baud = state.BaudRate;
    using net::ComPortCommand;
    telnet_.Command(ComPortCommand::SetBaudRate,
                    {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                     static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)},
                    now, output_);
    telnet_.Command(ComPortCommand::SetDataSize, {state.ByteSize}, now, output_);
    // RFC 2217's codes: NONE 1, ODD 2, EVEN 3, MARK 4, SPACE 5; stop bits 1, 2, and 1.5 as 3.
    telnet_.Command(ComPortCommand::SetParity,
                    {static_cast<uint8_t>(1 + static_cast<int>(state.ParityMode))}, now, output_);
    const uint8_t stop = state.Stop == StopBits::Two          ? 2
                         : state.Stop == StopBits::OneAndHalf ? 3
                                                              : 1;
    telnet_.Command(ComPortCommand::SetStopSize, {stop}, now, output_);
    if (state.Flow != FlowControl::Unchanged) {
      const net::LineControl flow =
          state.Flow == FlowControl::Hardware  ? net::LineControl::HardwareFlowControl
          : state.Flow == FlowControl::XonXoff ? net::LineControl::XonXoffFlowControl
                                               : net::LineControl::NoFlowControl;
      telnet_.Command(ComPortCommand::SetControl, {static_cast<uint8_t>(flow)}, now, output_);
      flow_ = state.Flow;
    }
    Flush();
  }

  FlowControl Flow() {
    std::lock_guard<std::mutex> lock(mutex_);
    return flow_;
  }

  void Purge() {
    std::lock_guard<std::mutex> lock(mutex_);
    input_.clear();
    inputAt_ = 0;
    telnet_.Command(net::ComPortCommand::PurgeData, {3}, NowMs(), output_);
    Flush();
  }

  size_t BytesWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    Pump();
    return input_.size() - inputAt_;
  }

  size_t Read(uint8_t* buffer, size_t max) {
    std::lock_guard<std::mutex> lock(mutex_);
    const size_t n = std::min(max, input_.size() - inputAt_);
    std::memcpy(buffer, input_.data() + inputAt_, n);
    inputAt_ += n;
    if (inputAt_ == input_.size()) {
      input_.clear();
      inputAt_ = 0;
    }
    return n;
  }

  bool WaitForInput(uint32_t ms) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      std::shared_ptr<Attempt> attempt;
      Socket socket = net::kNoSocket;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        Pump();
        // What came before the connection ended is read first.
        if (inputAt_ < input_.size()) return true;
        if (failure_ != PortError::None) return false;
        attempt = attempt_;
        socket = socket_;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) return true;
      const auto leftMs = static_cast<uint32_t>(left.count());
      if (attempt) {
        attempt->Wait(leftMs);
      } else if (net::WaitFor(socket, false, leftMs) == net::Wait::TimedOut) {
        std::lock_guard<std::mutex> lock(mutex_);
        Pump();
        return failure_ == PortError::None || inputAt_ < input_.size();
      }
    }
  }

  void Transmit(uint8_t value, bool& stalled) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (failure_ != PortError::None) return;
    if (socket_ == net::kNoSocket) {
      // Kept as it is until the connection opens: it goes behind the opening's commands (the
      // server's purge among them), or the purge would throw it away.
      if (connecting_.size() < kHeldOutputMax) connecting_ += static_cast<char>(value);
      return;
    }
    Flush();
    if (!output_.empty() && stalled) return;  // the line stays full: the byte is dropped
    Escape(value);
    Flush();
    const Clock::time_point until = Clock::now() + kStallLimit;
    while (!output_.empty() && failure_ == PortError::None) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) {
        stalled = true;
        return;
      }
      const Socket socket = socket_;
      lock.unlock();
      net::WaitFor(socket, true, static_cast<uint32_t>(left.count()));
      lock.lock();
      Flush();
    }
    stalled = false;
  }

 private:
  void Escape(uint8_t value) {
    if (address_.comPort) {
      telnet_.Send(value, output_);
    } else {
      output_ += static_cast<char>(value);
    }
  }

  // Takes up the finished connect, reads what has come, answers it, sends what waits.
  void Pump() {
    if (failure_ != PortError::None) return;
    if (attempt_) {
      if (!attempt_->Wait(0)) return;
      const Socket socket = attempt_->Take(failure_);
      attempt_.reset();
      if (socket == net::kNoSocket) return;
      socket_ = socket;
      std::string opening;
      if (address_.comPort) telnet_.Open(NowMs(), opening);
      output_.insert(0, opening);
      for (const char value : connecting_) Escape(static_cast<uint8_t>(value));
      connecting_.clear();
    }
    uint8_t chunk[kReceiveChunk];
    for (;;) {
      const long n = net::Receive(socket_, chunk, sizeof chunk);
      if (n < 0) {
        failure_ = PortError::Gone;
        return;
      }
      if (n == 0) break;
      if (address_.comPort) {
        telnet_.Receive(chunk, static_cast<size_t>(n), NowMs(), input_, output_);
      } else {
        input_.insert(input_.end(), chunk, chunk + n);
      }
      if (static_cast<size_t>(n) < sizeof chunk) break;
    }
    if (address_.comPort && telnet_.Check(NowMs(), output_)) notice_ = true;
    Flush();
  }

  void Flush() {
    if (socket_ == net::kNoSocket || failure_ != PortError::None) return;
    while (!output_.empty()) {
      const long n =
          net::Send(socket_, reinterpret_cast<const uint8_t*>(output_.data()), output_.size());
      if (n < 0) {
        failure_ = PortError::Gone;
        return;
      }
      if (n == 0) return;
      output_.erase(0, static_cast<size_t>(n));
    }
  }

  const std::string path_;
  const NetworkAddress address_;
  std::mutex mutex_;
  std::shared_ptr<Attempt> attempt_;  // while connecting
  Socket socket_ = net::kNoSocket;
  PortError failure_ = PortError::None;
  net::TelnetLink telnet_;
  std::vector<uint8_t> input_;  // received data not yet read, from inputAt_
  size_t inputAt_ = 0;
  std::string output_;      // what is on its way to the server, as it goes on the wire
  std::string connecting_;  // data given while the connection was still being made
  CommState state_;
  // The flow control last asked of the server; None, as ser2net's ports start, until then.
  FlowControl flow_ = FlowControl::None;
  bool notice_ = false;
};

NetworkPort* PortOf(PortHandle handle) {
  return handle.IsNetwork() ? reinterpret_cast<NetworkPort*>(handle.Native()) : nullptr;
}

}  // namespace

size_t NetworkDeviceLength(std::string_view text) {
  size_t at = 0;
  if (StartsWithNoCase(text, "rfc2217://")) {
    at = 10;
  } else if (StartsWithNoCase(text, "tcp://")) {
    at = 6;
  } else {
    return 0;
  }
  size_t hostEnd;
  if (at < text.size() && text[at] == '[') {
    hostEnd = text.find(']', at);
    if (hostEnd == std::string_view::npos || hostEnd == at + 1) return 0;
    ++hostEnd;
  } else {
    hostEnd = text.find(':', at);
    if (hostEnd == std::string_view::npos || hostEnd == at) return 0;
  }
  if (hostEnd >= text.size() || text[hostEnd] != ':') return 0;
  size_t end = hostEnd + 1;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == hostEnd + 1 || end - hostEnd - 1 > 5) return 0;
  const unsigned long port = std::stoul(std::string(text.substr(hostEnd + 1, end - hostEnd - 1)));
  if (port == 0 || port > 65535) return 0;
  return end;
}

bool IsNetworkDevice(std::string_view path) {
  return StartsWithNoCase(path, "rfc2217://") || StartsWithNoCase(path, "tcp://");
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view path) {
  const size_t length = NetworkDeviceLength(path);
  if (length == 0 || length != path.size()) return std::nullopt;
  NetworkAddress address;
  address.comPort = StartsWithNoCase(path, "rfc2217://");
  const size_t hostAt = address.comPort ? 10 : 6;
  const size_t colon = path.rfind(':');
  std::string_view host = path.substr(hostAt, colon - hostAt);
  if (host.front() == '[') host = host.substr(1, host.size() - 2);
  address.host = std::string(host);
  address.port = static_cast<uint16_t>(std::stoul(std::string(path.substr(colon + 1))));
  return address;
}

PortHandle OpenNetworkPort(const std::string& path) {
  const std::optional<NetworkAddress> address = ParseNetworkAddress(path);
  if (!address) return PortHandle::Invalid(PortError::NoSuchDevice);
  // A connection made while the port was gone is taken; otherwise one starts here.
  std::shared_ptr<Attempt> attempt;
  {
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    DropUntaken(registry);
    const auto it = registry.attempts.find(path);
    if (it != registry.attempts.end()) {
      attempt = it->second;
      registry.attempts.erase(it);
    }
  }
  if (!attempt) attempt = StartAttempt(*address);
  attempt->Wait(kOpenWaitMs);
  auto port = std::make_unique<NetworkPort>(path, *address, attempt);
  PortError why = PortError::None;
  if (!port->Settle(why)) return PortHandle::Invalid(why);
  return PortHandle::FromNetwork(reinterpret_cast<intptr_t>(port.release()));
}

void CloseNetworkPort(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  if (port == nullptr) return;
  port->Close();
  delete port;
}

PortError GoneReason(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  if (port == nullptr) return PortError::Gone;
  const PortError failure = port->Failure();
  return failure == PortError::None || failure == PortError::Other ? PortError::Gone : failure;
}

std::vector<std::string> UnconfirmedOptions(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr ? port->Unconfirmed() : std::vector<std::string>{};
}

bool TakeLinkNotice(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr && port->TakeNotice();
}

bool SetNetworkControl(PortHandle handle, net::LineControl control) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr && port->Control(control);
}

std::optional<uint8_t> NetworkModemState(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr ? port->ModemState() : std::nullopt;
}

ModemLines NetworkModemLines(PortHandle handle) {
  ModemLines lines;
  const std::optional<uint8_t> state = NetworkModemState(handle);
  if (!state) {
    lines.Why = LinesUnknown::NoLines;
    return lines;
  }
  lines.Known = true;
  lines.Why = LinesUnknown::None;
  lines.Cts = (*state & 0x10) != 0;
  lines.Dsr = (*state & 0x20) != 0;
  lines.Ri = (*state & 0x40) != 0;
  lines.Dcd = (*state & 0x80) != 0;
  return lines;
}

bool NetworkSetModemOutput(PortHandle handle, ModemOutput line, bool on) {
  using net::LineControl;
  if (line == ModemOutput::Dtr) {
    return SetNetworkControl(handle, on ? LineControl::DtrOn : LineControl::DtrOff);
  }
  return SetNetworkControl(handle, on ? LineControl::RtsOn : LineControl::RtsOff);
}

bool NetworkSetBreak(PortHandle handle, bool on) {
  return SetNetworkControl(handle, on ? net::LineControl::BreakOn : net::LineControl::BreakOff);
}

FlowControl NetworkFlowControl(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr ? port->Flow() : FlowControl::None;
}

bool NetworkGetCommState(PortHandle handle, CommState& state) {
  NetworkPort* port = PortOf(handle);
  if (port == nullptr) return false;
  port->GetState(state);
  return true;
}

bool NetworkSetCommState(PortHandle handle, const CommState& state) {
  NetworkPort* port = PortOf(handle);
  if (port == nullptr || state.ByteSize < 5 || state.ByteSize > 8 || state.BaudRate == 0) {
    return false;
  }
  port->SetState(state);
  return true;
}

void NetworkPurge(PortHandle handle) {
  if (NetworkPort* port = PortOf(handle)) port->Purge();
}

size_t NetworkBytesWaiting(PortHandle handle) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr ? port->BytesWaiting() : 0;
}

size_t NetworkReadBytes(PortHandle handle, uint8_t* buffer, size_t max) {
  NetworkPort* port = PortOf(handle);
  return port != nullptr ? port->Read(buffer, max) : 0;
}

bool NetworkWaitForInput(PortHandle handle, uint32_t ms) {
  NetworkPort* port = PortOf(handle);
  if (port != nullptr) return port->WaitForInput(ms);
  RealSleep(ms);
  return false;
}

bool NetworkPresent(const std::string& path) {
  const std::optional<NetworkAddress> address = ParseNetworkAddress(path);
  if (!address) return false;
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (registry.open.count(path) != 0) return true;
  DropUntaken(registry);
  std::shared_ptr<Attempt>& attempt = registry.attempts[path];
  if (attempt && attempt->Wait(0)) {
    std::lock_guard<std::mutex> attemptLock(attempt->mutex);
    if (attempt->socket != net::kNoSocket) return true;
  }
  if (!attempt || (attempt->Wait(0) &&
                   Clock::now() - attempt->started >= std::chrono::milliseconds(kRetryMs))) {
    attempt = StartAttempt(*address);
  }
  return false;
}

void NetworkTransmitByte(PortHandle handle, uint8_t value, bool& stalled) {
  if (NetworkPort* port = PortOf(handle)) port->Transmit(value, stalled);
}

}  // namespace platform
