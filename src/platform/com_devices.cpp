#include "platform/com_devices.h"

#include <map>
#include <mutex>

#include "platform/profile.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::map<int, std::string> g_devices;

}  // namespace

void LoadComDevices(const Profile& profile) {
  std::map<int, std::string> devices;
  for (int n = 1; n <= 9; ++n) {
    const std::string path = profile.ReadString("Ports", "Com" + std::to_string(n), "");
    if (!path.empty()) devices[n] = path;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_devices = std::move(devices);
}

void SetComDevice(int number, const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (path.empty()) {
    g_devices.erase(number);
  } else {
    g_devices[number] = path;
  }
}

void ClearComDevices() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_devices.clear();
}

std::string ComDevicePath(int number) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_devices.find(number);
    if (it != g_devices.end()) return it->second;
  }
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace platform
