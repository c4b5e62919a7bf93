#include "platform/serial_ports.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace platform {
namespace {

constexpr const char* kByIdDir = "/dev/serial/by-id";

}  // namespace

std::string SerialPortInfo::Description() const {
  std::string text = manufacturer;
  if (!product.empty()) text += (text.empty() ? "" : " ") + product;
  if (text.empty() && !vendorId.empty()) text = "USB " + vendorId + ":" + productId;
  if (text.empty()) text = "Serial port";
  return text + " (" + kernelName + ")";
}

std::string FormatPortTable(const std::vector<SerialPortInfo>& ports) {
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

bool SameDevicePath(const std::string& a, const std::string& b) {
  if (a == b) return true;
  struct stat sa {
  }, sb{};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
  if (S_ISCHR(sa.st_mode) && S_ISCHR(sb.st_mode)) return sa.st_rdev == sb.st_rdev;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string StableDevicePath(const std::string& path) {
  namespace fs = std::filesystem;
  if (path.rfind(kByIdDir, 0) == 0) return path;
  std::error_code ec;
  for (const fs::directory_entry& link : fs::directory_iterator(kByIdDir, ec)) {
    if (SameDevicePath(link.path().string(), path)) return link.path().string();
  }
  return path;
}

}  // namespace platform
