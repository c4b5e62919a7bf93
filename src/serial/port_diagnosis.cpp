#include "serial/port_diagnosis.h"

#include "platform/port_advice.h"
#include "serial/ComUtils.h"

std::string DescribePortProblem(const PortDiagnosis& d) {
  using platform::PortError;
  const std::string& path = d.devicePath;
  switch (d.error) {
    case PortError::None:
      return {};
    case PortError::NoSuchDevice:
      return "no such device: nothing answers at " + path + ". Plug the adapter in, or " +
             (d.forCommandLine ? "give another device with --port N=DEVICE."
                               : "choose its device from the group's menu (right-click).");
    case PortError::PermissionDenied:
      return "permission denied: " + path + " is not open to you. " + platform::PermissionAdvice();
    case PortError::Busy: {
      const std::string holders = platform::DeviceHoldersText(path);
      return "busy: " + path + " is held by another program" +
             (holders.empty() ? std::string() : " (" + holders + ")") +
             (d.forCommandLine ? ". Stop the other program, then run again."
                               : ". Close it there, then untick and tick \"Open\".");
    }
    case PortError::NotSerial:
      return "not a serial device: " + path + " is " + platform::DeviceKindText(path) + ".";
    case PortError::OwnTerminal:
      return "not a port: " + path +
             " is the terminal this program runs on; taking it would leave the terminal in raw "
             "mode. Choose the serial device.";
    case PortError::LinkLoop:
      return "a link loop: " + path + " is a symbolic link that leads back to itself.";
    case PortError::Gone:
      return "gone: " + path +
             " went away (unplugged?). WireLab opens it again by itself when it is back.";
    case PortError::SettingsRefused: {
      const std::string field = ModeStringFault("com1:" + d.settings);
      std::string fault;
      if (d.settings.find(',') == std::string::npos && field.empty()) {
        fault = "no comma between the fields";
      } else if (field.empty() || field == "port name") {
        fault = "not valid";
      } else {
        fault = "the " + field + " is not valid";
      }
      if (!d.settingsNote.empty()) fault += " (" + d.settingsNote + ")";
      return "settings not accepted: \"" + d.settings + "\": " + fault +
             ". Write them as 9600,n,8,1: baud, parity n/e/o/m/s, data bits 5 to 8, stop bits 1, "
             "1.5 or 2.";
    }
    case PortError::Other:
      break;
  }
  return "cannot open " + path + ".";
}
