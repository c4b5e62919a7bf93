// The scenarios of the device menu: the window's ports, panes and groups as PortScenarios
// reaches them.
#include <stdexcept>

#include "platform/devices/serial_device.h"
#include "platform/text/cp1254.h"
#include "platform/text/qt_text.h"
#include "window/wirelabmain.h"

void TForm5::WireScenarios() {
  PortScenarios::WindowPorts ports;
  ports.open = [this](int N) { return Ports[N] != nullptr; };
  ports.send = [this](int N, const std::vector<uint8_t>& bytes) {
    if (!Ports[N]) throw std::runtime_error("port " + std::to_string(N) + " is closed");
    Ports[N]->SendBuffer(nullptr, bytes.data(), static_cast<int32_t>(bytes.size()));
  };
  ports.purge = [this](int N) {
    if (Ports[N]) platform::PurgeInput(Ports[N]->PortHandle());
  };
  // "Open" stays ticked while a fault holds the port closed.
  ports.close = [this](int N) {
    DestroyPortObject(N);
    ShowPortState(N);
  };
  ports.reopen = [this](int N, std::string& reason) {
    if (Ports[N]) return true;
    try {
      CreatePortObject(N);
    } catch (const std::exception& e) {
      reason = platform::Cp1254ToUtf8(e.what());
      return false;
    }
    ShowPortState(N);
    return true;
  };
  ports.addLine = [this](int N, const std::string& line) { Memo[N]->AddLine(line); };
  ports.posNumber = [this] { return platform::FromQString(EditPosNo->text()); };
  ports.changed = [this](int N) { ShowPortState(N); };
  std::array<QWidget*, 5> groups{};
  for (int n = 1; n <= 4; ++n) groups[n] = GroupBox[n];
  Scenarios.Wire(std::move(ports), groups);
}
