// The machine's COM ports through SetupAPI: every present device of the COM port interface,
// its "PortName" value, the friendly name Device Manager shows, and for USB adapters the
// vendor and product ids from the hardware id and the serial number from the instance id.
// Beside them the system's own list of COM names (HARDWARE\DEVICEMAP\SERIALCOMM), which
// also holds ports that SetupAPI does not show: virtual ones, and all of Wine's.
#include <windows.h>
// After windows.h:
#include <initguid.h>
#include <setupapi.h>

#include <algorithm>

#include "platform/devices/serial_ports.h"
#include "platform/text/win32_text.h"

// The COM port device interface class (ntddser.h, which needs the driver kit's types).
DEFINE_GUID(kComPortInterface, 0x86E0D1E0L, 0x8089, 0x11D0, 0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30,
            0x1F, 0x73);

namespace platform {
namespace {

std::string RegistryProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[1024] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer), sizeof buffer - 2,
                                         nullptr)) {
    return {};
  }
  return FromWide(buffer);  // a multi-string gives its first string
}

std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
  HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[256] = {};
  DWORD size = sizeof name - 2;
  DWORD type = 0;
  const LONG rc =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_SZ ? FromWide(name) : std::string();
}

// "USB\VID_0403&PID_6001..." gives "0403" for "VID_".
std::string IdField(const std::string& id, const char* field) {
  std::string upper = id;
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  const size_t at = upper.find(field);
  if (at == std::string::npos) return {};
  return id.substr(at + 4, 4);
}

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
  wchar_t id[512] = {};
  if (!SetupDiGetDeviceInstanceIdW(set, &device, id, 511, nullptr)) return {};
  return FromWide(id);
}

int ComNumber(const std::string& name) {
  return name.size() > 3 ? std::atoi(name.c_str() + 3) : 0;
}

// Adds each port of SERIALCOMM that the list lacks: its value names the driver's device
// (\Device\Serial0), its data the COM name.
void AddSystemComNames(std::vector<SerialPortInfo>& ports) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256] = {}, data[256] = {};
    DWORD nameLength = 255, dataSize = sizeof data - 2, type = 0;
    const LONG rc = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ || data[0] == L'\0') continue;
    const std::string comName = FromWide(data);
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const SerialPortInfo& p) {
      return SameDevicePath(p.kernelName, comName);
    });
    if (listed) continue;
    SerialPortInfo info;
    info.kernelName = info.devicePath = comName;
    info.driver = FromWide(name);
    ports.push_back(std::move(info));
  }
  RegCloseKey(key);
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  HDEVINFO set = SetupDiGetClassDevsW(&kComPortInterface, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    SerialPortInfo info;
    info.kernelName = PortName(set, device);
    if (info.kernelName.empty()) continue;
    info.devicePath = info.kernelName;
    info.product = RegistryProperty(set, device, SPDRP_FRIENDLYNAME);
    info.manufacturer = RegistryProperty(set, device, SPDRP_MFG);
    info.driver = RegistryProperty(set, device, SPDRP_SERVICE);
    const std::string hardwareId = RegistryProperty(set, device, SPDRP_HARDWAREID);
    if (hardwareId.rfind("USB", 0) == 0 || hardwareId.rfind("FTDIBUS", 0) == 0) {
      info.vendorId = IdField(hardwareId, "VID_");
      info.productId = IdField(hardwareId, "PID_");
      // USB\VID_0403&PID_6001\A10K3ZJ1: the last part is the serial number where the
      // device has one ("&" in it marks a number Windows made up).
      const std::string instance = InstanceId(set, device);
      const size_t slash = instance.rfind('\\');
      const std::string last = slash == std::string::npos ? "" : instance.substr(slash + 1);
      if (last.find('&') == std::string::npos) info.serialNumber = last;
    }
    ports.push_back(std::move(info));
  }
  if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  AddSystemComNames(ports);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return ComNumber(a.kernelName) < ComNumber(b.kernelName);
  });
  return ports;
}

// COM names are the stable names on Windows: the same adapter keeps its number.
std::string StableDevicePath(const std::string& path) {
  return path;
}

bool SameDevicePath(const std::string& a, const std::string& b) {
  auto key = [](std::string s) {
    if (s.rfind("\\\\.\\", 0) == 0) s = s.substr(4);
    if (!s.empty() && s.back() == ':') s.pop_back();
    for (char& c : s) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
  };
  return key(a) == key(b);
}

}  // namespace platform
