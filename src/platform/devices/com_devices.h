#pragma once
// Where "comN:" lives on this machine: the system's own device for it (/dev/ttyS(N-1) on
// Linux, COMN on Windows) unless the "Ports" section of
// WireLab.ini names another device for key "ComN" (N 1 to 9), or the user chose one for the
// run. Each program keeps one map and hands it to the ports it opens.

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class Profile;

// The system's own device of comN.
std::string DefaultComDevice(int number);

// The length of the system's own port name that text starts with ("COM12" or "\\.\COM12" on
// Windows, where such a name is the whole device); 0 when it starts with none, and always on
// Linux, where a device is a path.
size_t PortNameLength(const std::string& text);

class ComDevices {
 public:
  // Replaces every earlier mapping with the profile's.
  void Load(const Profile& profile);
  void Set(int number, const std::string& path);  // empty path: back to the default
  std::string Path(int number) const;
  // The ports on other machines (rfc2217://, tcp://) mapped, by port number.
  std::vector<std::pair<int, std::string>> NetworkPorts() const;

 private:
  std::map<int, std::string> paths_;
};

}  // namespace platform
