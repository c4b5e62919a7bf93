#pragma once
// wirelabmain: TForm5, the one window of the program ("RS232 Emülatör").
//
// It owns every control as a named member, the port objects in Ports[1..4] and its own state,
// and wires the send modes, the receive display and the POS terminal to controls, timers and
// ports. Everything in it runs on the main thread; port threads reach it only through their
// deliveries (PortByteReceived). Its texts are CP1254 (the panes, the fields' values, the
// boxes), except the ports' tooltips and device menus, which are built as UTF-8.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/devices/com_devices.h"
#include "platform/settings/app_files.h"
#include "platform/time/clock.h"
#include "platform/time/toolkit_timer.h"
#include "pos/pos_link.h"
#include "pos/pos_terminal.h"
#include "serial/CommObjects.h"
#include "window/form_widgets.h"
#include "window/log_pane.h"
#include "window/message_boxes.h"
#include "window/port_recordings.h"
#include "window/port_scenarios.h"
#include "window/results_file.h"

class SendHold;

class TForm5 : public QWidget, private PosLink {
 public:
  // Everything in the window that reads the time, waits or counts down runs on clock; its
  // boxes and error reports go to boxes; files says where WireLab.ini is read and saved, and
  // the output folder where OmronResults.txt goes and the ports' recordings unless they were
  // given a folder of their own; drains, where given, takes the output still queued when a port
  // closes. Clock, boxes and drains outlive the window.
  TForm5(platform::Clock& clock, platform::MessageBoxes& boxes, platform::AppFiles files,
         platform::PortDrains* drains = nullptr);
  // The calls through which the ports hand their received bytes to this window.
  platform::MainThreadCalls& PortCalls() { return portCalls_; }
  ~TForm5() override;

  // ---- Controls ----
  // The window's published parts, under the names its design gives them: the program and its
  // tests work them as a user does, so they stay public.
  TPanel* Panel1 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  TPanel* TabSheetASCII = nullptr;
  TPanel* TabSheetOmron = nullptr;
  TPanel* TabSheetPos = nullptr;
  TPanel* TabSheetYazarKasa = nullptr;
  // "ASCII"
  QLabel* Label1 = nullptr;
  QLineEdit* EditASCII = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QLineEdit* EditInterval = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Send1 = nullptr;
  // "Omron Strings"
  QLabel* Label2 = nullptr;
  QLineEdit* EditOmron = nullptr;
  QToolButton* SpeedButton165 = nullptr;
  QToolButton* SpeedButton00 = nullptr;
  QToolButton* SpeedButton20 = nullptr;
  QToolButton* SpeedButton30 = nullptr;
  QToolButton* SpeedButton61 = nullptr;
  QToolButton* SpeedButton62 = nullptr;
  QToolButton* SpeedButton40 = nullptr;
  QCheckBox* CheckBox5 = nullptr;
  QToolButton* SpeedButtonLoop = nullptr;
  // "POS"
  QLabel* Label9 = nullptr;
  QLineEdit* EditPosNo = nullptr;
  QLabel* Label7 = nullptr;
  QLineEdit* EditSendCommand = nullptr;
  TPanel* PanelIslemBilgisi = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* LabelYazarKasaNo = nullptr;
  QLabel* LabelIslemNo = nullptr;
  // "Yazar Kasa"
  QLabel* Label8 = nullptr;
  QLineEdit* EditYazarKasa = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  // Send band
  TPanel* Panel4 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  // "sleep" band
  TPanel* Panel3 = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* EditSleep = nullptr;
  QLabel* Label4 = nullptr;
  // Port groups
  TPanel* Panel2 = nullptr;
  std::array<TGroupBox*, 5> GroupBox{};  // [1..4]
  std::array<TCheckBox*, 5> CheckBox{};  // [1..4], Tag N
  std::array<QLineEdit*, 5> Edit{};      // [1..4]
  std::array<LogPane*, 5> Memo{};        // [1..4]
  std::array<QLabel*, 5> CaptureMark{};  // [1..4]: shown while the port records, or failed to
  // Timers
  platform::ToolkitTimer TimerSensor;
  platform::ToolkitTimer Timer1;
  platform::ToolkitTimer TimerQueue;

  // The recordings of the ports' panes to files; the window shows their state on the port
  // groups and offers them in the device menu.
  PortRecordings Recordings;
  // The scenarios run on the ports and the sessions recorded as scenarios, from the device
  // menu; their marks are on the port groups.
  PortScenarios Scenarios;

  // ---- What the window holds, to read ----
  // The state behind the controls, for those who watch the window (tests, benchmarks); only
  // the window changes it. The port objects it leads to are the ports themselves, as a caller
  // that wraps a port's OnReceive needs them.
  struct StateView {
    const std::array<std::unique_ptr<TRealCom>, 5>& Ports;  // [1..4]; empty = no port object
    const uint32_t& StartTick;
    const uint32_t& LastRxTick;
    const bool& LoopRunning;
    const PosTerminal& Pos;
  };
  StateView View() const { return {Ports, StartTick, LastRxTick, LoopRunning, Pos}; }

  // ---- Window events ----
  void FormCreate();
  void FormDestroy();
  void FormResize();
  void Panel2Resize();

  // ---- Port channels, send dispatch, receive display ----
  void OnComCheck(TCheckBox* Sender);
  void ButtonSendClick();
  void PortByteReceived(TPeripheral* Sender, uint8_t Value);
  // The tab page in front, or none when every tab is hidden.
  QWidget* ActivePage() const;

  // ---- The device behind each port ----
  // The port group's context menu: the detected devices (the current one checked), "Başka
  // cihaz..." (another device) and "comN için varsayılan olarak kaydet" (save as default), and
  // "Dosyaya kaydet..." (record to a file, see PortRecordings), "Senaryo çalıştır..." (run a
  // scenario) and "Senaryo olarak kaydet..." (record as a scenario, see PortScenarios). Made
  // anew at each request.
  QMenu* BuildPortMenu(int N);
  // Makes path the device of port N for this run. An open port closes and opens the new
  // device with its settings, as an un-tick and a tick would; a closed one uses it next time.
  void ChoosePortDevice(int N, const std::string& path);
  // Writes the current device of port N into the "Ports" section of the user's WireLab.ini.
  void SavePortDefault(int N);
  // Asks for a device path for "Başka cihaz..."; empty when the user cancels. Tests replace it.
  std::function<std::optional<std::string>(int N, const std::string& current)> AskDevicePath;
  // Shows on the group of port N its device and, while it is ticked without a working
  // device, the reason in red with a warning mark; and where it records, or why that stopped.
  void ShowPortState(int N);

  // ---- Byte codes, inter-byte delay, periodic sending ----
  void SendAsciiCodes(int N);
  void InterByteDelay();
  void SpeedButton1Click();
  void TimerSensorTimer();
  void Timer1Timer();

  // ---- Omron frames and loop ----
  void SendOmronFrame(int N);
  void SpeedButton61Click(QToolButton* Sender);
  void SpeedButton165Click();
  void SpeedButtonLoopClick();
  void WaitHalfSecond();
  void RunOmronLoop();

  // ---- POS ----
  void SendPosCommand(int N);
  void SendYazarKasaPacket(int N);
  void SendPacket(int N, const std::string& text);
  void PosByteReceived(uint8_t Value, LogPane* memo, int N);
  void TimerQueueTimer();

  // True once the window has been asked to close: running loops, waits and sends give way.
  bool Closing() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildControls();
  // Hands Scenarios the ports, panes and groups (window/wirelabmain_scenarios.cpp).
  void WireScenarios();
  void BuildAsciiSheet();
  void BuildOmronSheet();
  void BuildPosSheet();
  void BuildYazarKasaSheet();
  void BuildBands();
  void BuildPortGroup(int n);
  void LayoutBands();
  void LayoutSheet(TPanel* sheet);
  void LayoutGroup(int n);
  int Px(int designPixels) const;
  // The port the Send action would use: the selected item's number, or 0 after showing the
  // "choose a port" box.
  int SelectedPortOrAsk();
  void SaveOmronResults();
  void CreatePortObject(int N);
  void DestroyPortObject(int N);
  std::string PortDevicePath(int N) const;
  // Sends the bytes on port N, each followed by InterByteDelay, holding the window's other
  // work during the pauses (see SendHold). Ends early when the window closes or port N is
  // closed from inside a pause.
  void SendPaced(int N, const std::vector<uint8_t>& bytes);
  bool SendStopped() const;
  QToolButton* FlatButton(QWidget* parent, const char* caption, int left, int top, int width,
                          int height);
  void ConnectClick(QToolButton* button, std::function<void()> handler);
  // The handler under the window's error report.
  std::function<void()> Guard(std::function<void()> handler);

  // PosLink
  bool PortPresent(int port) override;
  void SendBytes(int port, const std::vector<uint8_t>& bytes) override;
  void AddLogLine(int port, const std::string& line) override;
  std::string PosNumberText() override;
  bool TransactionPanelVisible() override;
  void SetTransactionPanelVisible(bool visible) override;
  void SetTransactionLabels(const std::string& cashRegisterText,
                            const std::string& transactionText) override;
  bool QueueTimerEnabled() override;
  void SetQueueTimerEnabled(bool enabled) override;
  void SetQueueTimerInterval(int32_t ms) override;

  platform::Clock& clock_;
  platform::MessageBoxes& boxes_;
  const platform::AppFiles files_;
  platform::ComDevices comDevices_;  // WireLab.ini's "Ports", with this run's choices
  // The deliveries of the ports' received bytes; declared before Ports, it outlives them.
  platform::MainThreadCalls portCalls_;
  std::array<std::unique_ptr<TRealCom>, 5> Ports;  // [1..4]; empty = no port object
  uint32_t StartTick = 0;
  bool LoopRunning = false;
  uint32_t LastRxTick = 0;
  PosTerminal Pos;  // RxBuffer, PacketCounter, CashRegisterNo, TransactionNo, Pending*
  double scale_ = 1.0;
  platform::PortDrains* portDrains_ = nullptr;
  std::array<std::string, 5> openFailure_;  // [1..4]: the error that made a ticked port fail
  bool tickBusy_ = false;
  bool loopActive_ = false;
  ResultsFile results_;  // of the running or last Omron loop
  // Takes port 1's dropped lines to the results file while a loop runs.
  struct ResultsListener : LogLines::Listener {
    explicit ResultsListener(ResultsFile& f) : file(f) {}
    void Added(std::string_view, bool) override {}
    void Dropping(const std::string& line) override { file.Dropped(line); }
    ResultsFile& file;
  } resultsListener_{results_};
  struct Sending {
    SendHold* hold = nullptr;  // none: no send is running
    int port = 0;
    TRealCom* object = nullptr;  // Ports[port] when the send began
  } sending_;
  bool destroyed_ = false;
  struct Anchored {
    QWidget* widget;
    int left, top, width, height;  // design place
  };
  std::vector<Anchored> rightAnchored_;  // controls on tab sheets that stretch to the right
};
