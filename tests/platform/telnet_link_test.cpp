// The Telnet side of ports on other machines, without a socket: the device names, the
// negotiation, 0xFF both ways, the COM-PORT-OPTION commands and what the server left
// unconfirmed. (The same against a real ser2net: tests/serial/network_port_test.cpp.)
#include "platform/devices/telnet_link.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/devices/network_port.h"

namespace {

using platform::net::ComPortCommand;
using platform::net::TelnetLink;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (const int v : values) s += static_cast<char>(v);
  return s;
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

TEST(NetworkDeviceName, UrlFormsAndWhereTheDeviceEnds) {
  const struct {
    const char* text;
    size_t length;  // of the device at the start; 0: none
    const char* host;
    uint16_t port;
    bool comPort;
  } rows[] = {
      {"rfc2217://rig7:4001", 19, "rig7", 4001, true},
      {"rfc2217://rig7:4001:19200,e,7,1", 19, "rig7", 4001, true},
      {"RFC2217://127.0.0.1:1", 21, "127.0.0.1", 1, true},
      {"tcp://[::1]:65535", 17, "::1", 65535, false},
      {"tcp://[::1]:65535:9600,n,8,1", 17, "::1", 65535, false},
      {"rfc2217://rig7", 0, "", 0, true},
      {"rfc2217://rig7:", 0, "", 0, true},
      {"rfc2217://:4001", 0, "", 0, true},
      {"rfc2217://rig7:0", 0, "", 0, true},
      {"rfc2217://rig7:65536", 0, "", 0, true},
      {"rfc2217://rig7:40019600,n,8,1", 0, "", 0, true},
      {"tcp://[]:4001", 0, "", 0, false},
      {"/dev/ttyUSB0", 0, "", 0, false},
      {"COM3:9600,n,8,1", 0, "", 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(platform::NetworkDeviceLength(row.text), row.length);
    const std::string device = std::string(row.text).substr(0, row.length);
    const auto address = platform::ParseNetworkAddress(device);
    EXPECT_EQ(address.has_value(), row.length > 0);
    if (address) {
      EXPECT_EQ(address->host, row.host);
      EXPECT_EQ(address->port, row.port);
      EXPECT_EQ(address->comPort, row.comPort);
    }
  }
}

TEST(TelnetLinkTest, OffersItsOptionsAndRefusesEveryOther) {
  TelnetLink link(true);
  std::string out;
  link.Open(0, out);
  EXPECT_EQ(out, Bytes({IAC, WILL, 44, IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3}));
  // ser2net's own opening: it offers ECHO (refused), asks for the rest (agreed, once).
  const std::string server = Bytes({IAC, WILL, 3, IAC, DO,   3, IAC, WILL, 1,  IAC, DONT, 1,
                                    IAC, DO,   0, IAC, WILL, 0, IAC, DO,   44, IAC, DO,   24});
  std::vector<uint8_t> data;
  out.clear();
  link.Receive(reinterpret_cast<const uint8_t*>(server.data()), server.size(), 10, data, out);
  EXPECT_EQ(out, Bytes({IAC, DONT, 1, IAC, WONT, 24}));
  EXPECT_TRUE(data.empty());
  EXPECT_TRUE(link.ComPortAgreed());
  EXPECT_FALSE(link.Check(10 + TelnetLink::kConfirmMs, out));
  EXPECT_TRUE(link.Unconfirmed().empty());
}

TEST(TelnetLinkTest, EveryByteValuePassesAndFFIsDoubledBothWays) {
  TelnetLink link(false);
  std::string wire;
  for (int v = 0; v < 256; ++v) TelnetLink::Escape(static_cast<uint8_t>(v), wire);
  EXPECT_EQ(wire.size(), 257u);
  EXPECT_EQ(wire.substr(254), Bytes({254, 255, 255}));
  // Received in pieces of every size from 1 to 7, the doubled 0xFF cut anywhere.
  for (size_t piece = 1; piece <= 7; ++piece) {
    TelnetLink in(true);
    std::vector<uint8_t> data;
    std::string out;
    for (size_t at = 0; at < wire.size(); at += piece) {
      const std::string part = wire.substr(at, piece);
      in.Receive(reinterpret_cast<const uint8_t*>(part.data()), part.size(), 0, data, out);
    }
    ASSERT_EQ(data.size(), 256u) << piece;
    for (int v = 0; v < 256; ++v) EXPECT_EQ(data[v], v);
    EXPECT_TRUE(out.empty());
  }
}

TEST(TelnetLinkTest, CommandsWaitForTheOptionAndTheUnansweredAreNamed) {
  TelnetLink link(true);
  std::string out;
  // Given while the connection is made, or before the server agrees: held, the value's 0xFF
  // doubled once sent; both line controls go.
  link.Command(ComPortCommand::SetBaudRate, {0, 0, 0x4B, 0}, 0, out);
  EXPECT_EQ(out, "");
  link.Open(0, out);
  out.clear();
  link.Command(ComPortCommand::SetControl, {8}, 5, out);
  link.Command(ComPortCommand::SetControl, {11}, 5, out);
  link.Command(ComPortCommand::SetModemStateMask, {0xFF}, 5, out);
  link.Send(0xFF, out);
  link.Send('!', out);
  EXPECT_EQ(out, "");
  const std::string agree =
      Bytes({IAC, DO, 44, IAC, DO, 0, IAC, WILL, 0, IAC, DO, 3, IAC, WILL, 3});
  std::vector<uint8_t> data;
  link.Receive(reinterpret_cast<const uint8_t*>(agree.data()), agree.size(), 100, data, out);
  EXPECT_EQ(
      out, Bytes({IAC, SB, 44, 1,  0,   0,  0x4B, 0,  IAC, SE, IAC, SB,  44,  5,  8,   IAC, SE, IAC,
                  SB,  44, 5,  11, IAC, SE, IAC,  SB, 44,  11, 255, 255, IAC, SE, 255, 255, '!'}));
  // The server answers the speed (with 0xFF inside another answer) and reports modem lines;
  // SET-CONTROL stays unanswered.
  const std::string answers = Bytes({IAC, SB,  44,  101, 0,  0,   0x4B, 0,  IAC, SE,   IAC, SB, 44,
                                     111, 255, 255, IAC, SE, IAC, SB,   44, 107, 0x30, IAC, SE});
  out.clear();
  link.Receive(reinterpret_cast<const uint8_t*>(answers.data()), answers.size(), 200, data, out);
  EXPECT_TRUE(data.empty());
  EXPECT_EQ(link.ModemState(), 0x30);
  EXPECT_FALSE(link.Check(100 + TelnetLink::kConfirmMs - 1, out));
  EXPECT_TRUE(link.Check(100 + TelnetLink::kConfirmMs, out));
  EXPECT_EQ(link.Unconfirmed(), std::vector<std::string>{"SET-CONTROL"});
  EXPECT_FALSE(link.Check(100 + 2 * TelnetLink::kConfirmMs, out));
}

TEST(TelnetLinkTest, AServerThatRefusesOrIgnoresTheOptionLeavesItsCommandsNamed) {
  {
    TelnetLink link(true);
    std::string out;
    link.Open(0, out);
    link.Command(ComPortCommand::SetBaudRate, {0, 0, 0x25, 0x80}, 0, out);
    const std::string refuse = Bytes({IAC, DONT, 44, IAC, WONT, 0});
    std::vector<uint8_t> data;
    out.clear();
    link.Receive(reinterpret_cast<const uint8_t*>(refuse.data()), refuse.size(), 1, data, out);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(link.Check(2, out));
    EXPECT_EQ(link.Unconfirmed(),
              (std::vector<std::string>{"COM-PORT-OPTION", "SET-BAUDRATE", "BINARY"}));
  }
  {
    TelnetLink link(true);
    std::string out;
    link.Open(0, out);
    link.Command(ComPortCommand::PurgeData, {3}, 0, out);
    out.clear();
    link.Send('x', out);
    EXPECT_EQ(out, "");
    EXPECT_TRUE(link.Check(TelnetLink::kConfirmMs, out));
    EXPECT_EQ(out, "x") << "data held behind commands that cannot go is released";
    EXPECT_EQ(link.Unconfirmed(), (std::vector<std::string>{"COM-PORT-OPTION", "PURGE-DATA",
                                                            "BINARY", "SUPPRESS-GO-AHEAD"}));
  }
}

}  // namespace
