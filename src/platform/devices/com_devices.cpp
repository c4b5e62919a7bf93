#include "platform/devices/com_devices.h"

#include "platform/devices/network_port.h"
#include "platform/settings/profile.h"

namespace platform {

void ComDevices::Load(const Profile& profile) {
  paths_.clear();
  for (int n = 1; n <= 9; ++n) {
    const std::string path = profile.ReadString("Ports", "Com" + std::to_string(n), "");
    if (!path.empty()) paths_[n] = path;
  }
}

void ComDevices::Set(int number, const std::string& path) {
  if (path.empty()) {
    paths_.erase(number);
  } else {
    paths_[number] = path;
  }
}

std::string ComDevices::Path(int number) const {
  const auto it = paths_.find(number);
  return it != paths_.end() ? it->second : DefaultComDevice(number);
}

std::vector<std::pair<int, std::string>> ComDevices::NetworkPorts() const {
  std::vector<std::pair<int, std::string>> found;
  for (const auto& [number, path] : paths_) {
    if (IsNetworkDevice(path)) found.emplace_back(number, path);
  }
  return found;
}

}  // namespace platform
