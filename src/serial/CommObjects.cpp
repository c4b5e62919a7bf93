#include "serial/CommObjects.h"

#include <algorithm>
#include <chrono>

#include "platform/devices/network_port.h"
#include "platform/devices/serial_ports.h"
#include "platform/time/ticks.h"
#include "serial/ComUtils.h"

namespace {

constexpr uint32_t kIdlePollMs = 25;
constexpr uint32_t kGonePollMs = 100;
// How often an idle port checks that its device node still exists.
constexpr uint32_t kNodeCheckMs = 500;
constexpr size_t kReadBatch = 4096;

// A port in one of these states is looked for again and reopened once it is back: a device
// that went away, or a server on another machine that could not be reached.
bool AwaitsReturn(platform::PortError error) {
  using platform::PortError;
  return error == PortError::Gone || error == PortError::NameUnresolved ||
         error == PortError::ConnectionRefused || error == PortError::NoAnswer;
}

// The tick count that arms a time-out. The one tick value that means "disarmed" is moved
// back by a millisecond, so an arming at that instant is not lost.
uint32_t ArmingTick(const platform::TickSource& ticks) {
  const uint32_t now = ticks.Now();
  return now == 0xFFFFFFFFu ? now - 1 : now;
}

}  // namespace

TPeripheral::TPeripheral(platform::MainThreadCalls& Calls, bool CreateSuspended,
                         TPeripheral* Parent, int32_t PortNumber)
    : platform::TThread(Calls, CreateSuspended),
      ticks_(Parent != nullptr ? Parent->ticks_ : &platform::MonotonicTicks()) {
  SetPriorityBelowNormal();
  deadline_ = 2147483647;
  // Before the parent is set, so that the start-up value stays here: SetTimeout passes its
  // value up the chain and re-arms it, which would switch off a time-out the parent has.
  SetTimeout(-1);
  parent_ = Parent;
  if (parent_ != nullptr) {
    std::lock_guard<std::mutex> lock(parent_->childrenMutex_);
    parent_->children_.push_back(this);
  }
  portNumber_ = PortNumber;
}

TPeripheral::~TPeripheral() {
  StopThread();
  std::vector<TPeripheral*> children;
  {
    std::lock_guard<std::mutex> lock(childrenMutex_);
    children.swap(children_);
  }
  for (TPeripheral* child : children) child->parent_ = nullptr;
  if (parent_ != nullptr) parent_->DetachChild(this);
}

void TPeripheral::DetachChild(TPeripheral* child) {
  std::lock_guard<std::mutex> lock(childrenMutex_);
  std::erase(children_, child);
}

std::vector<TPeripheral*> TPeripheral::Children() const {
  std::lock_guard<std::mutex> lock(childrenMutex_);
  return children_;
}

void TPeripheral::SetTimeout(int32_t Value) {
  // Re-armed before the new value shows: the port thread reads the value first, so it never
  // pairs a new time-out with the byte time from before it.
  lastByteTick_ = ArmingTick(*ticks_);
  timeout_ = Value;
  if (parent_ != nullptr) parent_->SetTimeout(Value);
}

void TPeripheral::Execute() {
  while (!Terminated()) {
    if (!CheckSuspended() || DeadlinePassed()) return;
    platform::RealSleep(kIdlePollMs);
  }
}

bool TPeripheral::DeadlinePassed() const {
  return static_cast<int32_t>(ticks_->Now()) > deadline_;
}

void TPeripheral::ResumeChildrenStartingWithParent() {
  // Held across the resumes: a child leaves the list (in its destructor) only after this.
  std::lock_guard<std::mutex> lock(childrenMutex_);
  for (TPeripheral* child : children_) {
    if (child->StartWithParent) child->Resume();
  }
}

void TPeripheral::SendByte(TPeripheral* /*Sender*/, uint8_t Value) {
  if (parent_ != nullptr) parent_->SendByte(this, Value);
}

void TPeripheral::SendBuffer(TPeripheral* /*Sender*/, const uint8_t* Buffer, int32_t Count) {
  if (parent_ != nullptr) parent_->SendBuffer(this, Buffer, Count);
}

namespace {

// Hands an event to each child present at the start, the child's thread held suspended
// while it runs; the resume is made on an error too, which then goes on outward. The child
// is looked up again each time, since a handler may destroy one.
template <class Handle>
void ForEachChild(const TPeripheral& parent, Handle handle) {
  const size_t n = parent.Children().size();
  for (size_t i = 0; i < n; ++i) {
    const std::vector<TPeripheral*> children = parent.Children();
    if (i >= children.size()) return;
    TPeripheral* child = children[i];
    child->Suspend();
    try {
      handle(child);
    } catch (...) {
      child->Resume();
      throw;
    }
    child->Resume();
  }
}

}  // namespace

void TPeripheral::DoReceive(uint8_t Value) {
  ForEachChild(*this, [Value](TPeripheral* child) { child->DoReceive(Value); });
  // A copy: the handler may destroy this object.
  const TReceiveEvent handler = OnReceive;
  if (handler) handler(this, Value);
}

void TPeripheral::DoTimeout() {
  ForEachChild(*this, [](TPeripheral* child) { child->DoTimeout(); });
  const TTimeoutEvent handler = OnTimeout;
  if (handler) handler();
}

TRealCom::TRealCom(platform::MainThreadCalls& Calls, bool CreateSuspended, TPeripheral* Parent,
                   int32_t PortNumber, const std::string& Settings,
                   const platform::ComDevices& devices, platform::PortDrains* drains)
    : TPeripheral(Calls, CreateSuspended, Parent, PortNumber), drains_(drains) {
  portHandle_ = platform::PortHandle::None();
  if (PortNumber != 0) {
    mode_ = "com" + std::to_string(PortNumber) + ":" + Settings;
    devicePath_ = ModeDevicePath(devices, mode_);
    identityPath_ = platform::StableDevicePath(devicePath_);
    if (drains_ != nullptr) drains_->AwaitDrainOf(devicePath_);
    portHandle_ = OpenComDevice(devicePath_, mode_, true, {}, &rateKept_);
    lines_ = platform::GetModemLines(portHandle_);
  }
}

TRealCom::~TRealCom() {
  StopThread();  // first: the polling loop reads through the handle closed below
  if (!portHandle_.IsOpen()) return;
  if (drains_ != nullptr) {
    drains_->Close(portHandle_);
  } else {
    platform::Close(portHandle_);
  }
}

void TRealCom::MarkGone() {
  const platform::PortError reason = platform::GoneReason(portHandle_);
  platform::CloseGone(portHandle_);
  portHandle_ = platform::PortHandle::Invalid(reason);
  txStalled_ = false;
  TakeLines(platform::ModemLines{});
  const std::function<void()> handler = OnDeviceChange;
  if (handler) handler();
}

void TRealCom::TryReopen() {
  if (drains_ != nullptr) drains_->AwaitDrainOf(identityPath_);
  const platform::PortHandle handle = OpenComDevice(identityPath_, mode_, true);
  if (!handle.IsOpen()) return;  // not usable yet (its permissions may still be being set)
  portHandle_ = handle;
  txStalled_ = false;
  devicePath_ = identityPath_;
  lines_ = platform::GetModemLines(portHandle_);
  const std::function<void()> handler = OnDeviceChange;
  if (handler) handler();
}

void TRealCom::AwaitReturn() {
  while (!Terminated() && AwaitsReturn(portHandle_.Error())) {
    if (!CheckSuspended()) return;
    platform::RealSleep(kGonePollMs);
    ++idlePolls_;
    if (platform::DeviceNodePresent(identityPath_)) Synchronize([this] { TryReopen(); });
  }
}

void TRealCom::TakeLines(const platform::ModemLines& lines) {
  if (lines == lines_) return;
  lines_ = lines;
  const std::function<void()> handler = OnLinesChange;
  if (handler) handler();
}

bool TRealCom::SetOutput(platform::ModemOutput line, bool on) {
  const bool done = platform::SetModemOutput(portHandle_, line, on);
  TakeLines(platform::GetModemLines(portHandle_));
  return done;
}

bool TRealCom::SetBreak(bool on) {
  return platform::SetBreak(portHandle_, on);
}

void TRealCom::Execute() {
  uint8_t batch[kReadBatch];
  bool firstPass = true;
  auto lastNodeCheck = std::chrono::steady_clock::now();
  platform::ModemLines linesSeen;
  bool linesDelivered = false;  // false: the next reading goes to the main thread as it is
  auto linesRead = std::chrono::steady_clock::time_point();
  lastByteTick_ = kDisarmed;
  while (!Terminated()) {
    if (DeadlinePassed() || !CheckSuspended()) return;
    if (AwaitsReturn(portHandle_.Error())) {
      AwaitReturn();
      linesDelivered = false;
      continue;
    }
    if (portHandle_.IsOpen() &&
        std::chrono::steady_clock::now() - linesRead >= std::chrono::milliseconds(kLinesPollMs)) {
      linesRead = std::chrono::steady_clock::now();
      const platform::ModemLines lines = platform::GetModemLines(portHandle_);
      if (!linesDelivered || linesSeen != lines) {
        linesSeen = lines;
        linesDelivered = true;
        Synchronize([this, lines] { TakeLines(lines); });
      }
    }

    const size_t waiting = platform::BytesWaiting(portHandle_);
    if (waiting > 0) {
      // Everything waiting goes over in one synchronous call, still one DoReceive per byte,
      // in order. The batch stops at once if this object starts being destroyed in a
      // handler; an error leaves it and ends the thread.
      const size_t n = platform::ReadBytes(portHandle_, batch, std::min(waiting, kReadBatch));
      if (n > 0) {
        // Asked through calls, not this: a handler may have destroyed this object.
        const platform::MainThreadCalls& calls = Calls();
        Synchronize([this, &calls, &batch, n] {
          for (size_t i = 0; i < n; ++i) {
            if (calls.CurrentCallDropped()) return;
            rxByte_ = batch[i];
            DoReceive(rxByte_);
          }
        });
        lastByteTick_ = ArmingTick(*ticks_);
      }
    } else {
      const int32_t timeout = timeout_;  // first: see SetTimeout
      const uint32_t last = lastByteTick_;
      if (last != kDisarmed && timeout > 0 &&
          ticks_->Now() - last > static_cast<uint32_t>(timeout)) {
        lastByteTick_ = kDisarmed;
        Synchronize([this] { DoTimeout(); });
      }
      bool present = platform::WaitForInput(portHandle_, kIdlePollMs);
      ++idlePolls_;
      const auto now = std::chrono::steady_clock::now();
      if (present && portHandle_.IsOpen() &&
          now - lastNodeCheck >= std::chrono::milliseconds(kNodeCheckMs)) {
        lastNodeCheck = now;
        present = platform::DeviceNodePresent(devicePath_);
      }
      if (!present) {
        Synchronize([this] { MarkGone(); });
      } else if (platform::TakeLinkNotice(portHandle_)) {
        Synchronize([this] {
          const std::function<void()> handler = OnLinkNote;
          if (handler) handler();
        });
      }
    }

    if (firstPass) {
      firstPass = false;
      ResumeChildrenStartingWithParent();
    }
  }
}

void TRealCom::SendByte(TPeripheral* /*Sender*/, uint8_t Value) {
  Synchronize([this, Value] {
    txByte_ = Value;
    TransmitByte();
  });
}

void TRealCom::SendBuffer(TPeripheral* /*Sender*/, const uint8_t* Buffer, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) {
    const uint8_t value = Buffer[i];
    Synchronize([this, value] {
      txByte_ = value;
      TransmitByte();
    });
  }
}

void TRealCom::TransmitByte() {
  const bool wasStalled = txStalled_;
  platform::TransmitByte(portHandle_, txByte_, txStalled_);
  if (txStalled_ != wasStalled && OnSendStallChange) {
    const std::function<void()> handler = OnSendStallChange;
    handler();
  }
}
