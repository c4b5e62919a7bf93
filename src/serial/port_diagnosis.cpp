#include "serial/port_diagnosis.h"

#include "platform/devices/network_port.h"
#include "platform/devices/port_advice.h"
#include "platform/files/system_reason.h"
#include "serial/ComUtils.h"

namespace {

// The mode string's field that ModeStringFault names, in Turkish.
std::string TurkishFieldName(const std::string& field) {
  if (field == "baud rate") return "baud hızı";
  if (field == "parity") return "parite";
  if (field == "data bits") return "veri biti";
  if (field == "stop bits") return "stop biti";
  if (field == "flow control") return "akış kontrolü";
  if (field == "length") return "uzunluk";
  return field;
}

std::string SettingsFault(const PortDiagnosis& d, bool tr) {
  const std::string field = ModeStringFault("com1:" + d.settings);
  std::string fault;
  if (d.settings.find(',') == std::string::npos && field.empty()) {
    fault = tr ? "alanlar arasında virgül yok" : "no comma between the fields";
  } else if (field.empty() || field == "port name") {
    fault = tr ? "geçersiz" : "not valid";
  } else {
    fault = tr ? TurkishFieldName(field) + " geçersiz" : "the " + field + " is not valid";
  }
  if (!d.settingsNote.empty()) fault += " (" + d.settingsNote + ")";
  return fault;
}

}  // namespace

std::string DescribePortProblem(const PortDiagnosis& d) {
  using platform::PortError;
  const std::string& path = d.devicePath;
  const bool tr = !d.forCommandLine;
  const platform::Language language =
      tr ? platform::Language::Turkish : platform::Language::English;
  switch (d.error) {
    case PortError::None:
      return {};
    case PortError::NoSuchDevice:
      if (tr) {
        return "cihaz yok: " + path +
               " bulunamadı. Adaptörü takın ya da grubun menüsünden (sağ tık) cihazını seçin.";
      }
      return "no such device: nothing answers at " + path +
             ". Plug the adapter in, or give another device with --port N=DEVICE.";
    case PortError::PermissionDenied:
      return (tr ? "izin yok: " + path + " bu kullanıcıya açık değil. "
                 : "permission denied: " + path + " is not open to you. ") +
             platform::PermissionAdvice(language);
    case PortError::Busy: {
      const std::string holders = platform::DeviceHoldersText(path, language);
      const std::string who = holders.empty() ? std::string() : " (" + holders + ")";
      if (tr) {
        return "meşgul: " + path + " başka bir programda açık" + who +
               ". Orada kapatın, sonra \"Open\" işaretini kaldırıp yeniden işaretleyin.";
      }
      return "busy: " + path + " is held by another program" + who +
             ". Stop the other program, then run again.";
    }
    case PortError::StaleHold:
      return platform::StaleHoldText(path, language);
    case PortError::NotSerial:
      return tr ? "seri cihaz değil: " + path + " " + platform::DeviceKindText(path, language) + "."
                : "not a serial device: " + path + " is " +
                      platform::DeviceKindText(path, language) + ".";
    case PortError::OwnTerminal:
      return tr ? "port değil: " + path +
                      " bu programın çalıştığı terminal; alınırsa terminal ham kipte kalır. Seri "
                      "cihazı seçin."
                : "not a port: " + path +
                      " is the terminal this program runs on; taking it would leave the terminal "
                      "in raw mode. Choose the serial device.";
    case PortError::LinkLoop:
      return tr ? "bağlantı döngüsü: " + path + " kendine dönen bir sembolik bağlantı."
                : "a link loop: " + path + " is a symbolic link that leads back to itself.";
    case PortError::Gone:
      if (platform::IsNetworkDevice(path)) {
        return tr ? "bağlantı koptu: " + path +
                        " sunucusu bağlantıyı kapattı. Sunucu geri gelince WireLab kendiliğinden "
                        "yeniden bağlanır."
                  : "gone: the server at " + path +
                        " dropped the connection. WireLab connects again by itself when it is "
                        "back.";
      }
      return tr ? "bağlantı koptu: " + path +
                      " kayboldu (kablo mu çıktı?). Geri takılınca WireLab onu kendiliğinden "
                      "yeniden açar."
                : "gone: " + path +
                      " went away (unplugged?). WireLab opens it again by itself when it is back.";
    case PortError::SettingsRefused:
      if (d.rateKept != 0) {
        const std::string asked = d.settings.substr(0, d.settings.find(','));
        const std::string kept = std::to_string(d.rateKept);
        return tr ? "ayarlar kabul edilmedi: \"" + d.settings + "\": baud hızı " + asked +
                        " bu cihazda yok (cihaz " + kept +
                        " baud'da kaldı). Cihazın desteklediği bir hız yazın."
                  : "settings not accepted: \"" + d.settings + "\": the baud rate " + asked +
                        " is not one this device takes (it stayed at " + kept +
                        "). Give a rate the device supports.";
      }
      if (tr) {
        return "ayarlar kabul edilmedi: \"" + d.settings + "\": " + SettingsFault(d, tr) +
               ". Şöyle yazın: 9600,n,8,1: baud, parite n/e/o/m/s, veri biti 5-8, stop biti 1, "
               "1.5 ya da 2.";
      }
      return "settings not accepted: \"" + d.settings + "\": " + SettingsFault(d, tr) +
             ". Write them as 9600,n,8,1: baud, parity n/e/o/m/s, data bits 5 to 8, stop bits 1, "
             "1.5 or 2.";
    case PortError::NameUnresolved:
      return tr ? "ad çözülemedi: " + path +
                      " adresindeki sunucu adı bulunamadı. Adı denetleyin ya da IP adresini yazın."
                : "name does not resolve: the host of " + path +
                      " is not known. Check the name, or give its IP address.";
    case PortError::ConnectionRefused:
      return tr ? "bağlantı reddedildi: " + path +
                      " adresinde dinleyen yok. ser2net çalışıyor mu, port numarası doğru mu? "
                      "Sunucu açılınca WireLab kendiliğinden bağlanır."
                : "connection refused: nothing listens at " + path +
                      ". Is ser2net running there, on that port? WireLab connects by itself once "
                      "it listens.";
    case PortError::NoAnswer:
      return tr ? "yanıt yok: " + path +
                      " birkaç saniye içinde yanıt vermedi. Ağ bağlantısını ve güvenlik duvarını "
                      "denetleyin; WireLab yeniden denemeyi sürdürür."
                : "no answer: " + path +
                      " did not answer within a few seconds. Check the network and any firewall "
                      "on the way; WireLab keeps trying.";
    case PortError::Other:
      break;
  }
  return tr ? path + " açılamıyor." : "cannot open " + path + ".";
}

std::string DescribeLinesUnknown(const platform::ModemLines& lines, bool turkish) {
  using platform::LinesUnknown;
  switch (lines.Why) {
    case LinesUnknown::None:
      // The inputs were read; the system has no read-back of the outputs (Wine has none).
      if (lines.OutputsKnown) return {};
      return turkish ? "cihaz DTR ve RTS durumunu bildirmiyor"
                     : "the device does not report the state of DTR and RTS";
    case LinesUnknown::NoLines:
      return turkish ? "bu cihazın modem hatları yok (sözde terminal ya da ağ portu)"
                     : "the device has no modem lines (a pseudo-terminal or a network port)";
    case LinesUnknown::Gone:
      return turkish ? "port açık değil ya da cihaz yok"
                     : "the port is not open or its device is gone";
    case LinesUnknown::Failed:
      break;
  }
  return platform::SystemReason(
      lines.Code, turkish ? platform::Language::Turkish : platform::Language::English);
}

std::string DescribeLinkNote(const std::vector<std::string>& unconfirmed, bool forCommandLine) {
  if (unconfirmed.empty()) return {};
  std::string names;
  for (const std::string& name : unconfirmed) names += (names.empty() ? "" : ", ") + name;
  return forCommandLine ? "not confirmed by the server: " + names +
                              " (the port goes on without it; a server with no modem lines, "
                              "such as ser2net on a pseudo-terminal, never confirms SET-CONTROL)"
                        : "sunucu onaylamadı: " + names +
                              " (port onsuz çalışmayı sürdürür; modem hattı olmayan bir sunucu, "
                              "örneğin sahte terminaldeki ser2net, SET-CONTROL'ü hiç onaylamaz)";
}
