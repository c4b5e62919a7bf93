#pragma once
// CommObjects: TPeripheral, a device on a serial line with its own thread, and TRealCom, one
// real serial port polled by its port thread.
//
// The layer provides the peripheral tree (a parent, children, StartWithParent), the time-out
// and the two hooks because the port layer's contract has them, for devices that sit behind a
// port and talk through it. The programs do not use them: they make lone TRealCom objects
// without a time-out.
//
// Construction, destruction, SetTimeout, sending and every delivery (DoReceive, DoTimeout
// and the events) belong to the main thread; the port thread only polls, reads and hands
// bytes over by synchronous calls, through the MainThreadCalls the object is given (which
// outlives it). Each byte reaches OnReceive as its own call, in order.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devices/com_devices.h"
#include "platform/devices/port_drains.h"
#include "platform/devices/serial_device.h"
#include "platform/thread/thread.h"
#include "platform/time/ticks.h"

class TPeripheral;
using TReceiveEvent = std::function<void(TPeripheral* Sender, uint8_t Value)>;
using TTimeoutEvent = std::function<void()>;

class TPeripheral : public platform::TThread {
 public:
  TPeripheral(platform::MainThreadCalls& Calls, bool CreateSuspended, TPeripheral* Parent,
              int32_t PortNumber);
  ~TPeripheral() override;

  void SetTimeout(int32_t Value);
  virtual void SendByte(TPeripheral* Sender, uint8_t Value);
  virtual void SendBuffer(TPeripheral* Sender, const uint8_t* Buffer, int32_t Count);
  virtual void DoReceive(uint8_t Value);
  virtual void DoTimeout();
  virtual int32_t QueryHook() { return 0; }
  virtual void ActionHook() {}

  int32_t PortNumber() const { return portNumber_; }
  TPeripheral* Parent() const { return parent_; }
  std::vector<TPeripheral*> Children() const;
  int32_t Timeout() const { return timeout_; }
  uint32_t LastByteTick() const { return lastByteTick_; }
  int32_t Deadline() const { return deadline_; }
  void SetDeadline(int32_t value) { deadline_ = value; }
  // The tick count that time-outs and the deadline run on: the system's, or the parent's for
  // a child. Set before the thread is resumed.
  void UseTicks(const platform::TickSource& ticks) { ticks_ = &ticks; }

  TReceiveEvent OnReceive;
  TTimeoutEvent OnTimeout;
  std::atomic<bool> StartWithParent{false};

 protected:
  void Execute() override;
  bool DeadlinePassed() const;
  // Resumes each child whose StartWithParent is set; safe against children being destroyed.
  void ResumeChildrenStartingWithParent();
  static constexpr uint32_t kDisarmed = 0xFFFFFFFFu;

  std::atomic<uint32_t> lastByteTick_{kDisarmed};
  std::atomic<int32_t> timeout_{-1};
  std::atomic<int32_t> deadline_{2147483647};
  const platform::TickSource* ticks_;

 private:
  void DetachChild(TPeripheral* child);

  int32_t portNumber_ = 0;
  mutable std::mutex childrenMutex_;
  std::vector<TPeripheral*> children_;
  TPeripheral* parent_ = nullptr;
};

// A port given PortDrains lets the output still queued at its destruction drain there (an open
// of the same device waits for that); without, that output is dropped when it closes.
class TRealCom : public TPeripheral {
 public:
  // A port number other than 0 opens the device devices maps "comN:" to, with Settings.
  TRealCom(platform::MainThreadCalls& Calls, bool CreateSuspended, TPeripheral* Parent,
           int32_t PortNumber, const std::string& Settings,
           const platform::ComDevices& devices = platform::ComDevices(),
           platform::PortDrains* drains = nullptr);
  ~TRealCom() override;

  void SendByte(TPeripheral* Sender, uint8_t Value) override;
  void SendBuffer(TPeripheral* Sender, const uint8_t* Buffer, int32_t Count) override;

  platform::PortHandle PortHandle() const { return portHandle_; }
  // Why the port has no working device (PortError::None while it has one). A port whose
  // device went away is Gone until a device of the same identity comes back; then it reopens
  // with its settings by itself. A port on another machine whose server cannot be reached
  // (NameUnresolved, ConnectionRefused, NoAnswer) or dropped it (Gone) does the same.
  platform::PortError Problem() const { return portHandle_.Error(); }
  // The device path the port was opened from, and the path it reopens after an unplug: the
  // device's /dev/serial/by-id link where it has one.
  const std::string& DevicePath() const { return devicePath_; }
  const std::string& IdentityPath() const { return identityPath_; }
  // Called in the main thread when the port's device goes away or comes back.
  std::function<void()> OnDeviceChange;
  // The modem lines as last read (main thread). The port thread reads them about every
  // kLinesPollMs and calls OnLinesChange in the main thread when they differ, and once after
  // the port opens.
  static constexpr uint32_t kLinesPollMs = 20;
  const platform::ModemLines& Lines() const { return lines_; }
  std::function<void()> OnLinesChange;
  // Main thread: raises or lowers an output line, then reads the lines back (OnLinesChange
  // follows). False when the device refused.
  bool SetOutput(platform::ModemOutput line, bool on);
  // Main thread: starts or ends a break on the line.
  bool SetBreak(bool on);
  // The rate the device kept when it refused the settings' baud rate; 0 otherwise.
  uint32_t RateKept() const { return rateKept_; }
  // Called in the main thread when the server of a port on another machine has refused or
  // left unanswered an option (platform::UnconfirmedOptions names them); the port goes on.
  std::function<void()> OnLinkNote;
  // Whether the device stopped taking output for the send's bound (about 2 s, as a closed CTS
  // holds it under hardware flow control), so that the rest of that send was dropped; the
  // next byte the device takes clears it. OnSendStallChange is called when it changes, in the
  // thread that sends (the main thread).
  bool SendStalled() const { return txStalled_; }
  std::function<void()> OnSendStallChange;
  uint8_t RxByte() const { return rxByte_; }
  // How many idle waits the polling loop has finished; lets a test wait for whole passes.
  uint64_t IdlePolls() const { return idlePolls_; }

 protected:
  void Execute() override;

 private:
  void TransmitByte();
  // The polling loop's wait while the device is gone: looks for it again now and then and has
  // the main thread reopen it once it is back.
  void AwaitReturn();
  void MarkGone();                                    // main thread
  void TryReopen();                                   // main thread
  void TakeLines(const platform::ModemLines& lines);  // main thread

  platform::PortDrains* drains_;
  std::string mode_;
  std::string devicePath_;
  std::string identityPath_;
  uint8_t txByte_ = 0;
  bool txStalled_ = false;  // the port's output stayed full: bytes are dropped until it drains
  uint8_t rxByte_ = 0;
  platform::PortHandle portHandle_ = platform::PortHandle::None();
  std::atomic<uint64_t> idlePolls_{0};
  platform::ModemLines lines_;
  uint32_t rateKept_ = 0;
};
