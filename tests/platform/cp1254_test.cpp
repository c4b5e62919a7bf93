#include "platform/text/cp1254.h"

#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "platform/text/qt_text.h"

namespace {

TEST(Cp1254, EveryByteRoundTripsThroughUtf8AndQString) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(platform::Utf8ToCp1254(platform::Cp1254ToUtf8(all)), all);
  const QString q = platform::ToQString(all);
  ASSERT_EQ(q.size(), 256);
  EXPECT_EQ(platform::FromQString(q), all);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(q.at(b).unicode(), platform::Cp1254ToUnicode(static_cast<uint8_t>(b))) << b;
  }
}

TEST(Cp1254, TableMatchesTheCodePage) {
  const struct {
    uint8_t byte;
    char32_t unicode;
  } rows[] = {
      {0x41, U'A'}, {0x80, U'€'}, {0x81, 0x81}, {0x82, U'‚'}, {0x83, U'ƒ'}, {0x8A, U'Š'},
      {0x8C, U'Œ'}, {0x8D, 0x8D}, {0x8E, 0x8E}, {0x8F, 0x8F}, {0x90, 0x90}, {0x91, U'‘'},
      {0x99, U'™'}, {0x9A, U'š'}, {0x9C, U'œ'}, {0x9D, 0x9D}, {0x9E, 0x9E}, {0x9F, U'Ÿ'},
      {0xA0, 0xA0}, {0xC7, U'Ç'}, {0xD0, U'Ğ'}, {0xD6, U'Ö'}, {0xDC, U'Ü'}, {0xDD, U'İ'},
      {0xDE, U'Ş'}, {0xDF, U'ß'}, {0xE7, U'ç'}, {0xF0, U'ğ'}, {0xF6, U'ö'}, {0xFC, U'ü'},
      {0xFD, U'ı'}, {0xFE, U'ş'}, {0xFF, U'ÿ'},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(platform::Cp1254ToUnicode(row.byte), row.unicode) << int(row.byte);
  }
  EXPECT_EQ(platform::Cp1254("İşlem No: ğüşıöç ĞÜŞİÖÇ"),
            "\xDD\xFEl"
            "em No: \xF0\xFC\xFE\xFD\xF6\xE7 \xD0\xDC\xDE\xDD\xD6\xC7");
}

TEST(Cp1254, UnmappableAndMalformedInputBecomesQuestionMarks) {
  const struct {
    std::string utf8, cp1254;
  } rows[] = {
      {"\xC2\x80", "?"},              // U+0080 has no byte (0x80 is the euro sign)
      {"\xC4\x80", "?"},              // Ā
      {"\xE2\x82\xAC", "\x80"},       // €
      {"a\xF0\x9F\x98\x80z", "a?z"},  // outside the BMP
      {"\x80", "?"},                  // stray continuation byte
      {"\xC3", "?"},                  // truncated at the end
      {"\xC3"
       "A",
       "?A"},  // truncated before ASCII
      {"\xE2\x82"
       "A",
       "?A"},                        // truncated three-byte sequence: one "?"
      {"\xC0\xAF", "??"},            // overlong
      {"\xED\xA0\x80", "???"},       // encoded surrogate
      {"\xF4\x90\x80\x80", "????"},  // beyond U+10FFFF
      {"\xFF\xFE", "??"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& row : rows) EXPECT_EQ(platform::Utf8ToCp1254(row.utf8), row.cp1254) << row.utf8;

  QString q = QStringLiteral("a");
  q += QChar(0xD83D);  // lone high surrogate
  q += QStringLiteral("b");
  q += QString::fromUtf8("\xF0\x9F\x98\x80");  // a pair: one character
  q += QChar(0xDE00);                          // lone low surrogate
  q += QChar(0x0100);
  EXPECT_EQ(platform::FromQString(q), "a?b???");
}

TEST(Cp1254, UpperCaseFollowsTheTurkishCodePage) {
  EXPECT_EQ(platform::UpperCase1254(platform::Cp1254("abcxyz iı ğüşöç šœÿ àéþ ß µ ÷ ƒ 123;")),
            platform::Cp1254("ABCXYZ II ĞÜŞÖÇ ŠŒŸ ÀÉÞ ß µ ÷ ƒ 123;"));
  // Capitals and everything without a small form stay as they are.
  for (int b = 0; b < 256; ++b) {
    const uint8_t byte = static_cast<uint8_t>(b);
    const uint8_t upper = platform::UpperCase1254(byte);
    const bool small = (b >= 'a' && b <= 'z') || b == 0x9A || b == 0x9C || b == 0xFF ||
                       (b >= 0xE0 && b <= 0xFE && b != 0xF7);
    if (!small) {
      EXPECT_EQ(upper, byte) << b;
    } else {
      EXPECT_NE(upper, byte) << b;
      EXPECT_EQ(platform::UpperCase1254(upper), upper) << b;  // a capital of the code page
    }
  }
  EXPECT_EQ(platform::UpperCase1254(uint8_t{0xFD}), 'I');
  EXPECT_EQ(platform::UpperCase1254(uint8_t{'i'}), 'I');
}

}  // namespace
