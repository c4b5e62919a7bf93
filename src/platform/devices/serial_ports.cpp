#include "platform/devices/serial_ports.h"

#include <algorithm>
#include <cstdio>

namespace platform {

std::string SerialPortInfo::Description() const {
  std::string text = manufacturer;
  if (!product.empty()) text += (text.empty() ? "" : " ") + product;
  if (text.empty() && !vendorId.empty()) text = "USB " + vendorId + ":" + productId;
  if (text.empty()) text = "Seri port";
  return text + " (" + kernelName + ")";
}

std::string FormatPortTable(const std::vector<SerialPortInfo>& local,
                            const std::vector<std::pair<int, std::string>>& network) {
  std::vector<SerialPortInfo> ports = local;
  for (const auto& [number, path] : network) {
    SerialPortInfo row;
    row.devicePath = path;
    row.kernelName = "com" + std::to_string(number);
    row.product = path.find("://") == 3 ? "raw TCP" : "RFC 2217";  // tcp:// or rfc2217://
    ports.push_back(row);
  }
  if (ports.empty()) return "No serial devices found.\n";
  const std::vector<std::string> heading = {"PATH",         "DEVICE",  "USB ID",
                                            "MANUFACTURER", "PRODUCT", "SERIAL NUMBER"};
  std::vector<std::vector<std::string>> rows = {heading};
  for (const SerialPortInfo& p : ports) {
    rows.push_back(
        {p.PreferredPath(), p.kernelName, p.vendorId.empty() ? "-" : p.vendorId + ":" + p.productId,
         p.manufacturer.empty() ? "-" : p.manufacturer, p.product.empty() ? "-" : p.product,
         p.serialNumber.empty() ? "-" : p.serialNumber});
  }
  std::vector<size_t> widths(heading.size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string table;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    table += line + "\n";
  }
  return table;
}

void PrintPortTable(const std::vector<std::pair<int, std::string>>& network) {
  std::fputs(FormatPortTable(ListSerialPorts(), network).c_str(), stdout);
}

}  // namespace platform
