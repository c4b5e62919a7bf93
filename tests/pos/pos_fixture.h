#pragma once
// A POS terminal on a fake link, with helpers that feed packets byte by byte and take what the
// terminal logged and sent. Messages are the system's texts as the tests write them out.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "expected_texts.h"
#include "fake_pos_link.h"
#include "pos/packet_format.h"
#include "pos/pos_terminal.h"
#include "test_support.h"

class PosTest : public testing::Test {
 protected:
  FakePosLink link;
  PosTerminal terminal{link};
  uint32_t lastRx = 100000;

  const std::string kAccepted = Cp(expected::kAccepted);
  const std::string kNoNumber = Cp(expected::kNoNumber);
  const std::string kUnknown = Cp(expected::kUnknown);
  const std::string kBadLetter = Cp(expected::kBadLetter);
  const std::string kNoTransaction = Cp(expected::kNoTransaction);
  const std::string kAckReceived = Cp(expected::kAckReceived);
  const std::string kAckOther = Cp(expected::kAckOtherNumber);

  static std::string WithLetter(const std::string& text) {
    return text + static_cast<char>(PacketChecksum(text));
  }
  static std::string Frame(const std::string& text) { return WithLetter(text) + "\r"; }
  static std::string SentLine(const std::string& text) {
    return Cp(expected::kSentPrefix) + WithLetter(text);
  }

  // One byte gap ms after the previous one, as the window hands it over.
  void Byte(uint8_t value, uint32_t gap = 5, int port = 1) {
    const uint32_t now = lastRx + gap;
    terminal.PosByteReceived(port, value, lastRx, now);
    lastRx = now;
  }
  void Bytes(const std::string& bytes, int port = 1) {
    for (const char ch : bytes) Byte(static_cast<uint8_t>(ch), 5, port);
  }
  // The packet text with its right letter and the carriage return.
  void Receive(const std::string& text, int port = 1) { Bytes(Frame(text), port); }

  std::vector<std::string> TakeLog(int port = 1) { return std::exchange(link.Log[port], {}); }
  std::vector<std::string> TakeSent(int port = 1) { return std::exchange(link.Sent[port], {}); }

  // Opens transaction 34 of cash register 12 and forgets its traces.
  void OpenTransaction() {
    Receive("001STTX12|34");
    ASSERT_TRUE(link.PanelVisible);
    TakeLog();
    TakeSent();
  }
};
