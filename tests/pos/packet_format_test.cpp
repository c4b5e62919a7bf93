#include "pos/packet_format.h"

#include <gtest/gtest.h>

#include "pos/pos_terminal.h"
#include "test_support.h"

namespace {

TEST(PacketFormat, CheckLetterIsTheByteSumModulo26PlusA) {
  const struct {
    std::string text;
    char letter;
  } rows[] = {
      {"abc", 'I'},       {"", 'A'},         {"001STTX12|34", 'E'},
      {"001005ACK", 'H'}, {"005ACK", 'S'},   {"001001NACK", 'D'},
      {Cp("İ"), 'N'},     {"\xFF\xFF", 'Q'},  // 510 % 26 = 16: bytes count unsigned
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PacketChecksum(row.text), row.letter) << row.text;
  }
}

TEST(PacketFormat, FrameIsTextLetterAndCarriageReturn) {
  const std::vector<uint8_t> frame = FramePacket("abc");
  EXPECT_EQ(std::string(frame.begin(), frame.end()), "abcI\r");
  const std::vector<uint8_t> empty = FramePacket("");
  EXPECT_EQ(std::string(empty.begin(), empty.end()), "A\r");
}

TEST(PacketFormat, PadLeftZerosNeverShortens) {
  EXPECT_EQ(PadLeftZeros("7", 3), "007");
  EXPECT_EQ(PadLeftZeros("", 3), "000");
  EXPECT_EQ(PadLeftZeros("1234", 3), "1234");
  EXPECT_EQ(PadLeftZeros("abc", 3), "abc");
  EXPECT_EQ(RepeatString("ab", 3), "ababab");
  EXPECT_EQ(RepeatString("ab", 0), "");
  EXPECT_EQ(RepeatString("ab", -1), "");
}

TEST(PacketFormat, FieldsAreTheDataPartCutAtEveryBar) {
  using Fields = std::vector<std::string>;
  EXPECT_EQ(SplitPacketFields("001STTX12|34E"), (Fields{"12", "34"}));
  EXPECT_EQ(SplitPacketFields("005+ACKS"), (Fields{""}));
  EXPECT_EQ(SplitPacketFields("001ITEM01||2|X"), (Fields{"01", "", "2", ""}));
  EXPECT_EQ(SplitPacketFields("001PRON|Q"), (Fields{"", ""}));
}

}  // namespace
