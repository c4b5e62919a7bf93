// The machine's serial devices through libudev. Its enumeration reads sysfs and works without
// the udev daemon; the by-id links and the ID_* properties come from the daemon's database,
// which containers often lack, so the USB strings are read from the USB device's attributes
// and the by-id link is looked up in /dev/serial/by-id when udev does not name one.
#include <libudev.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "platform/devices/serial_ports.h"

namespace platform {
namespace {

constexpr const char* kByIdDir = "/dev/serial/by-id";

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <class T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) {
  return value ? value : "";
}

std::string Attribute(udev_device* device, const char* name) {
  std::string value = Text(udev_device_get_sysattr_value(device, name));
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ')) value.pop_back();
  return value;
}

std::string ByIdLink(udev_device* device, const std::string& devicePath) {
  for (udev_list_entry* e = udev_device_get_devlinks_list_entry(device); e;
       e = udev_list_entry_get_next(e)) {
    const std::string link = Text(udev_list_entry_get_name(e));
    if (link.rfind("/dev/serial/by-id/", 0) == 0) return link;
  }
  const std::string found = StableDevicePath(devicePath);
  return found == devicePath ? std::string() : found;
}

// A legacy 8250-style node is a real UART only when the driver found a port type for it.
bool IsPhantomUart(udev_device* device, const std::string& kernelName) {
  if (kernelName.rfind("ttyS", 0) != 0) return false;
  const std::string type = Attribute(device, "type");
  return type.empty() || type == "0";
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  UdevPtr<udev> context(udev_new());
  if (!context) return ports;
  UdevPtr<udev_enumerate> enumerate(udev_enumerate_new(context.get()));
  if (!enumerate) return ports;
  udev_enumerate_add_match_subsystem(enumerate.get(), "tty");
  udev_enumerate_scan_devices(enumerate.get());
  for (udev_list_entry* e = udev_enumerate_get_list_entry(enumerate.get()); e;
       e = udev_list_entry_get_next(e)) {
    UdevPtr<udev_device> device(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(e)));
    if (!device) continue;
    // Virtual terminals, the console and pseudo-terminals have no parent device.
    udev_device* parent = udev_device_get_parent(device.get());
    const char* node = udev_device_get_devnode(device.get());
    if (!parent || !node) continue;
    SerialPortInfo info;
    info.devicePath = node;
    info.kernelName = Text(udev_device_get_sysname(device.get()));
    if (IsPhantomUart(device.get(), info.kernelName)) continue;
    info.driver = Text(udev_device_get_driver(parent));
    info.byIdPath = ByIdLink(device.get(), info.devicePath);
    if (udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(device.get(), "usb", "usb_device")) {
      info.vendorId = Attribute(usb, "idVendor");
      info.productId = Attribute(usb, "idProduct");
      info.manufacturer = Attribute(usb, "manufacturer");
      info.product = Attribute(usb, "product");
      info.serialNumber = Attribute(usb, "serial");
    }
    ports.push_back(std::move(info));
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return a.kernelName < b.kernelName;
  });
  return ports;
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
