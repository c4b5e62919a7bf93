#pragma once
// Where "comN:" lives on this machine: /dev/ttyS(N-1) unless the "Ports" section of
// WireLab.ini names another device for key "ComN" (N 1 to 9). Set up once by the main thread
// at start-up and read afterwards.

#include <string>

namespace platform {

class Profile;

void LoadComDevices(const Profile& profile);
void SetComDevice(int number, const std::string& path);  // empty path: back to the default
void ClearComDevices();
std::string ComDevicePath(int number);

}  // namespace platform
